#pragma once

#include "support/CTempDatabase.h"

#include <string>

// A readable summary of everything a copy must leave alone in a database:
// for every user table its row count and a hash of its rows (small tables
// list their rows), the value of every user generator and whether each user
// trigger is active. Two databases with the same content give the same text,
// whatever order the rows are stored in. Throws std::runtime_error when the
// database cannot be read.
std::string DatabaseFingerprint(const std::string& database);

// A temporary database whose content is remembered after it is made and
// after every script a test runs on it. When it goes, a test failure names
// any change that something other than the test's own scripts made: the
// source of every copy test is one of these.
class CWatchedDatabase : public CTempDatabase
{
  public:
    explicit CWatchedDatabase(const std::string& ddl = {}, const SOptions& options = {});
    ~CWatchedDatabase();
    CWatchedDatabase(const CWatchedDatabase&) = delete;
    CWatchedDatabase& operator=(const CWatchedDatabase&) = delete;

    // The content as the test itself last left it.
    const std::string& ExpectedFingerprint() const { return m_sExpected; }
    // The content now.
    std::string CurrentFingerprint() const { return DatabaseFingerprint(Name()); }

  protected:
    void ScriptRan() const override { m_sExpected = CurrentFingerprint(); }

  private:
    mutable std::string m_sExpected;
};

// Adds a test failure naming what changed when the database's content is no
// longer what the test left; for use in destructors and at a test's end.
void ExpectUnchanged(const CWatchedDatabase& database, const std::string& what = "the source database");
void ExpectUnchanged(const std::string& expected, const std::string& database,
                     const std::string& what = "the source database");

#include "support/DatabaseFingerprint.h"

#include "db/CFbConnection.h"

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace
{
// Tables with up to this many rows are listed row by row, so a failure shows
// what changed; larger ones are summed up by a hash.
constexpr int ListedRows = 12;
constexpr size_t ListedRowBytes = 300;

std::string EscapedLiteral(const std::string& text)
{
    std::string escaped;
    for (char c : text)
        escaped += c == '\'' ? std::string("''") : std::string(1, c);
    return escaped;
}

std::string Quoted(const std::string& name)
{
    std::string text = "\"";
    for (char c : name)
    {
        text += c;
        if (c == '"')
            text += '"';
    }
    return text + "\"";
}

std::string Trimmed(const std::string& text)
{
    const size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::uint64_t Fnv1a(const std::string& bytes, std::uint64_t hash = 1469598103934665603ULL)
{
    for (unsigned char c : bytes)
    {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return hash;
}

class CReader
{
  public:
    explicit CReader(const std::string& database) : m_connection(1), m_sDatabase(database)
    {
        if (!m_connection.Connect(TestUser, TestPassword, database))
            throw std::runtime_error("cannot attach " + database + ": " + m_connection.LastErrorMessage());
    }

    CStringGrid Rows(const std::string& sql)
    {
        CStringGrid rows;
        int failure = 0;
        m_connection.Execute(sql, failure, &rows, nullptr, EValueForm::Exact);
        if (failure != 0)
            throw std::runtime_error(m_sDatabase + ": " + sql + "\n" + m_connection.LastErrorMessage());
        return rows;
    }

  private:
    CFbConnection m_connection;
    std::string m_sDatabase;
};

// One row as unambiguous text: each value with its length, NULL marked.
std::string RowText(CStringGrid& rows, int r)
{
    std::string text;
    for (int c = 0; c < rows.ColumnCount(); ++c)
    {
        if (c > 0)
            text += " | ";
        if (rows.IsCellNull(c, r))
            text += "<null>";
        else
        {
            const std::string value = rows.GetCell(c, r);
            text += std::to_string(value.size()) + ":" + value;
        }
    }
    return text;
}
} // namespace

std::string DatabaseFingerprint(const std::string& database)
{
    CReader reader(database);
    std::string text;

    CStringGrid tables = reader.Rows("SELECT RDB$RELATION_NAME FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0)"
                                     " = 0 AND RDB$VIEW_BLR IS NULL ORDER BY RDB$RELATION_NAME");
    for (int t = 0; t < tables.RowCount(); ++t)
    {
        const std::string table = Trimmed(tables.GetCell(0, t));
        // Stored values only: a computed column shows who reads it (the
        // attachment, the time), not what the database holds.
        CStringGrid stored =
            reader.Rows("SELECT RF.RDB$FIELD_NAME FROM RDB$RELATION_FIELDS RF JOIN RDB$FIELDS F ON F.RDB$FIELD_NAME = "
                        "RF.RDB$FIELD_SOURCE WHERE RF.RDB$RELATION_NAME = '" +
                        EscapedLiteral(table) + "' AND F.RDB$COMPUTED_BLR IS NULL ORDER BY RF.RDB$FIELD_POSITION");
        std::string columns;
        for (int c = 0; c < stored.RowCount(); ++c)
            columns += (c ? ", " : "") + Quoted(Trimmed(stored.GetCell(0, c)));
        CStringGrid rows =
            reader.Rows("SELECT " + (columns.empty() ? std::string("*") : columns) + " FROM " + Quoted(table));
        std::vector<std::string> rowTexts;
        rowTexts.reserve(static_cast<size_t>(rows.RowCount()));
        for (int r = 0; r < rows.RowCount(); ++r)
            rowTexts.push_back(RowText(rows, r));
        // Content, not storage order, is what a copy must keep.
        std::sort(rowTexts.begin(), rowTexts.end());
        std::uint64_t hash = Fnv1a(table);
        for (const std::string& row : rowTexts)
            hash = Fnv1a(row + "\n", hash);
        text +=
            "table " + table + ": " + std::to_string(rowTexts.size()) + " rows, hash " + std::to_string(hash) + "\n";
        if (rows.RowCount() <= ListedRows)
        {
            for (const std::string& row : rowTexts)
                text += "  " + (row.size() <= ListedRowBytes ? row : row.substr(0, ListedRowBytes) + "...") + "\n";
        }
    }

    CStringGrid generators = reader.Rows("SELECT RDB$GENERATOR_NAME FROM RDB$GENERATORS WHERE "
                                         "COALESCE(RDB$SYSTEM_FLAG, 0) <> 1 ORDER BY RDB$GENERATOR_NAME");
    for (int g = 0; g < generators.RowCount(); ++g)
    {
        const std::string generator = Trimmed(generators.GetCell(0, g));
        // GEN_ID with step 0 reads the value without moving it.
        CStringGrid value = reader.Rows("SELECT GEN_ID(" + Quoted(generator) + ", 0) FROM RDB$DATABASE");
        text += "generator " + generator + " = " + value.GetCell(0, 0) + "\n";
    }

    CStringGrid triggers = reader.Rows(
        "SELECT RDB$TRIGGER_NAME, COALESCE(RDB$RELATION_NAME, ''), COALESCE(RDB$TRIGGER_INACTIVE, 0) FROM RDB$TRIGGERS "
        "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 ORDER BY RDB$TRIGGER_NAME");
    for (int r = 0; r < triggers.RowCount(); ++r)
    {
        text += "trigger " + Trimmed(triggers.GetCell(0, r)) + " on " + Trimmed(triggers.GetCell(1, r)) + ": " +
                (triggers.GetCell(2, r) == "1" ? "inactive" : "active") + "\n";
    }
    return text;
}

CWatchedDatabase::CWatchedDatabase(const std::string& ddl, const SOptions& options)
    : CTempDatabase(ddl, options), m_sExpected(DatabaseFingerprint(Name()))
{
}

CWatchedDatabase::~CWatchedDatabase()
{
    ExpectUnchanged(*this);
}

void ExpectUnchanged(const std::string& expected, const std::string& database, const std::string& what)
{
    try
    {
        const std::string now = DatabaseFingerprint(database);
        EXPECT_EQ(now, expected) << what << " changed: " << database;
    }
    catch (const std::exception& error)
    {
        ADD_FAILURE() << "cannot read " << what << " to prove it unchanged: " << error.what();
    }
}

void ExpectUnchanged(const CWatchedDatabase& database, const std::string& what)
{
    ExpectUnchanged(database.ExpectedFingerprint(), database.Name(), what);
}

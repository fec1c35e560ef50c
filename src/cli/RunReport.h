#pragma once

#include "copy/check/CopyCheck.h"
#include "copy/run/CCopyRun.h"
#include "copy/verify/CopyCompare.h"

#include <chrono>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>
#include <vector>

class CLanguageCatalog;
struct SUnattendedRun;

// The JSON report of an unattended run that --report asks for (the README
// describes its fields; report_version says which edition of them). Made
// for every run whose command line was understood, whatever its outcome;
// a database's password never goes into it.
class CRunReport
{
  public:
    // mode is "copy", "check" or "compare". Without --report in arguments
    // the object only passes out and err through.
    CRunReport(const std::vector<std::string>& arguments, const char* mode, std::ostream& out, std::ostream& err);
    ~CRunReport();
    CRunReport(const CRunReport&) = delete;
    CRunReport& operator=(const CRunReport&) = delete;

    bool Wanted() const { return !m_sPath.empty(); }
    // Where the lines of the run go: out, or err when the report itself
    // goes to standard output.
    std::ostream& Lines() { return m_bToOutput ? m_err : m_out; }
    // err, kept for the report's messages as well.
    std::ostream& Messages() { return *m_pMessages; }

    // Before the run: false, said on err, when the report could not be
    // written there (no such folder, no write access, a database's file).
    // programFile finds the program's own files, which a report must not
    // take the place of either.
    bool CanWrite(const std::string& programFile = {});
    // What the preparation knew: the users and the log files.
    void TakeRun(const SUnattendedRun& run);
    void TakeCopy(const SCopyRunResult& result);
    void TakeCheck(const SCheckReport& report, CLanguageCatalog& catalog);
    void TakeCompare(const SCompareReport& report);
    // Writes the report with the run's exit code and gives the code the
    // program ends with: a report that could not be written makes a run
    // that went well end with 1.
    int Finish(int exitCode, CLanguageCatalog& catalog);
    // The report of a run interrupted before its copy began, written from
    // the interrupt's thread: it reads only what the command line said.
    void WriteInterrupted(const std::string& message);

  private:
    class CTeeBuffer : public std::streambuf
    {
      public:
        explicit CTeeBuffer(std::streambuf* target) : m_pTarget(target) {}
        std::vector<std::string> Lines() const;

      protected:
        int overflow(int c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

      private:
        std::streambuf* m_pTarget;
        mutable std::mutex m_lock;
        std::string m_captured;
    };
    struct SHeader
    {
        std::string mode;
        std::chrono::system_clock::time_point started;
        std::string sourceDb, sourceUser, destDb, destUser;
        std::vector<std::string> tables;
        bool tablesGiven = false;
        std::vector<std::string> exclude;
        bool retryFailed = false;
        bool noVerify = false;
        std::string sourceCharset;
    };
    std::string Json(const SHeader& header, int exitCode, bool complete) const;
    bool Write(const std::string& json, std::string& error);

    std::ostream& m_out;
    std::ostream& m_err;
    std::string m_sPath;
    bool m_bToOutput = false;
    std::unique_ptr<CTeeBuffer> m_pTee;
    std::unique_ptr<std::ostream> m_pMessages;
    SHeader m_header;
    // Set by the run, read by Finish only.
    std::string m_sSourceUser, m_sDestUser;
    bool m_bVerify = true;
    std::string m_sRunLog, m_sSqlLog, m_sTextLog, m_sErrorReport;
    std::vector<std::string> m_killedRunCopies;
    bool m_bCopyTaken = false;
    SCopyRunResult m_copy;
    bool m_bCheckTaken = false;
    SCheckReport m_check;
    std::vector<std::vector<std::string>> m_findingTexts;
    bool m_bCompareTaken = false;
    SCompareReport m_compare;
};

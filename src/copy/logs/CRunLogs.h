#pragma once

#include "copy/logs/CLogWriter.h"
#include "copy/run/RunSettings.h"

#include <string>
#include <vector>

// The files a copy run writes: the run log, the SQL log and the data text
// log (only with logging on) and the failed-records report (always). While a
// table is copied its log files stay open; outside a table every entry
// opens and closes its file.
class CRunLogs
{
  public:
    void SetFiles(const SRunFiles& files) { m_files = files; }
    void SetLogging(ELogging logging) { m_bLog = logging == ELogging::On; }
    bool Logging() const { return m_bLog; }
    // The run-log prefix of the table whose entries follow ("<TBL_%-18s>").
    void SetTable(const std::string& table);
    const std::string& TablePrefix() const { return m_sTablePrefix; }
    void BeginTable()
    {
        m_bInTable = true;
        m_sFirstServerFailure.clear();
        m_sFirstErrorEntry.clear();
    }
    // Flushes and closes the log files of a table.
    void EndTable();

    // "prefix message (detail)" and a blank line; true when nothing was to be
    // written or the file took it.
    bool WriteLog(const std::string& message, const std::string& detail);
    bool WriteSqlLog(const std::string& text);
    bool WriteTextLog(const std::string& text);
    // The server's message for a failed statement, as an SQL comment.
    void WriteSqlFailure(const std::string& serverMessage);
    // Keeps a server message as the table's first failure unless one came before.
    void NoteServerFailure(const std::string& serverMessage);
    // The first failure of the table in progress: the server's message, or
    // where the server gave none, the first error entry; logged or not.
    std::string FirstFailure() const;
    // Appends "%i %s record(s) could not be copied." to the report.
    void WriteReport(int failedRecords, const std::string& table);

    // The writers, for entries gathered elsewhere (the rows of a table).
    CLogWriter& RunWriter() { return Prepared(m_run, m_files.runLog); }
    CLogWriter& SqlWriter() { return Prepared(m_sql, m_files.sqlLog); }
    CLogWriter& TextWriter() { return Prepared(m_text, m_files.textLog); }

    // The first log file that lost an entry since ResetLost (a folder that
    // cannot be written, a full disk); empty when every entry arrived.
    std::string LostLogFile() const;
    // Every log file that lost entries.
    std::vector<std::string> LostLogFiles() const;
    void ResetLost();

    // A server message on one line.
    static std::string OneLine(const std::string& message);
    // The SQL-log comment that carries a server message on one line.
    static std::string SqlFailureComment(const std::string& serverMessage);

  private:
    CLogWriter& Prepared(CLogWriter& writer, const std::string& path)
    {
        writer.SetPath(path);
        return writer;
    }
    bool Append(CLogWriter& writer, const std::string& path, const std::string& text);

    SRunFiles m_files;
    CLogWriter m_run;
    CLogWriter m_sql;
    CLogWriter m_text;
    std::string m_sTablePrefix;
    std::string m_sEntry; // the run-log entry being written
    std::string m_sFirstServerFailure;
    std::string m_sFirstErrorEntry;
    bool m_bLog = false;
    bool m_bInTable = false;
};

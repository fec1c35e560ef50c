#include "cli/RunReport.h"

#include "cli/CStartupFolders.h"
#include "cli/CUnattendedRun.h"
#include "cli/CheckReportText.h"
#include "cli/CommandLine.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "core/CJsonWriter.h"
#include "core/CReplacingFile.h"
#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"

#include <ctime>
#include <filesystem>
#include <ostream>
#include <sys/stat.h>

namespace
{
// The report's edition: raised when a field changes its meaning or goes.
constexpr long long ReportVersion = 1;

// "2026-12-07T21:38:32+01:00": local time with its offset from UTC.
std::string TimeText(std::chrono::system_clock::time_point when)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string result = text;
    // strftime writes +0100; ISO 8601 as JSON readers expect it has +01:00.
    if (result.size() >= 5)
        result.insert(result.size() - 2, ":");
    return result;
}

const char* KindName(SCheckFinding::EKind kind)
{
    using EKind = SCheckFinding::EKind;
    switch (kind)
    {
    case EKind::DroppedData: return "dropped_data";
    case EKind::ComputedData: return "computed_in_destination";
    case EKind::TooLong: return "too_long";
    case EKind::OutOfRange: return "out_of_range";
    case EKind::BeyondPrecision: return "beyond_precision";
    case EKind::Rounded: return "rounded";
    case EKind::TimeDropped: return "time_dropped";
    case EKind::DateDropped: return "date_dropped";
    case EKind::CopyDate: return "copy_date";
    case EKind::NotANumber: return "not_a_number";
    case EKind::NotConvertible: return "not_convertible";
    case EKind::NotInCharacterSet: return "not_in_character_set";
    case EKind::LegacyText: return "legacy_text";
    case EKind::UnmappedBytes: return "unmapped_bytes";
    case EKind::NullIntoNotNull: return "null_into_not_null";
    case EKind::NeedsDefault: return "needs_default";
    case EKind::Unreadable: return "unreadable";
    case EKind::NotATable: return "not_a_table";
    case EKind::MissingParentKeys: return "missing_parent_keys";
    case EKind::DuplicateKeys: return "duplicate_keys";
    case EKind::CheckRefuses: return "check_refuses";
    case EKind::ReachesOthers: return "reaches_other_tables";
    case EKind::Cycle: return "cycle";
    case EKind::UndeferredCheck: return "undeferred_check";
    case EKind::GroupRefused: return "group_refused";
    case EKind::Deferred: return "deferred";
    case EKind::Receives: return "receives";
    case EKind::Triggers: return "triggers";
    case EKind::Generators: return "generators";
    case EKind::GeneratorsKept: return "generators_kept";
    case EKind::Identities: return "identities";
    case EKind::SourceEmpty: return "source_empty";
    case EKind::Unfinished: return "unfinished";
    }
    return "other";
}

const char* SeverityName(ECheckSeverity severity)
{
    return severity == ECheckSeverity::Fails ? "fails" : severity == ECheckSeverity::Warning ? "warnings" : "fine";
}

void WriteVerification(CJsonWriter& json, const STableVerification& result)
{
    json.BeginObject();
    json.Key("result").String(!result.ran ? "unreadable" : result.Identical() ? "identical" : "differences");
    json.Key("identical_rows").Number(result.identical);
    json.Key("differing_rows").Number(result.differing);
    json.Key("missing_rows").Number(result.missing);
    json.Key("extra_rows").Number(result.extra);
    json.Key("refused_rows").Number(result.refused);
    json.Key("error").StringOrNull(result.error);
    json.EndObject();
}

void WriteNames(CJsonWriter& json, const std::vector<std::string>& names)
{
    json.BeginArray();
    for (const std::string& name : names)
        json.String(name);
    json.EndArray();
}

// The argument at index, or empty.
std::string Argument(const std::vector<std::string>& arguments, size_t index)
{
    return index < arguments.size() ? arguments[index] : std::string();
}
} // namespace

std::vector<std::string> CRunReport::CTeeBuffer::Lines() const
{
    std::lock_guard lock(m_lock);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < m_captured.size())
    {
        size_t end = m_captured.find('\n', start);
        if (end == std::string::npos)
            end = m_captured.size();
        std::string line = m_captured.substr(start, end - start);
        if (line.find_first_not_of(" \r") != std::string::npos)
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

int CRunReport::CTeeBuffer::overflow(int c)
{
    if (c == traits_type::eof())
        return traits_type::not_eof(c);
    const char character = static_cast<char>(c);
    return xsputn(&character, 1) == 1 ? c : traits_type::eof();
}

std::streamsize CRunReport::CTeeBuffer::xsputn(const char* text, std::streamsize count)
{
    std::lock_guard lock(m_lock);
    m_captured.append(text, static_cast<size_t>(count));
    // A terminal that hung up or a pipe whose reader closed fails the
    // write; the report still takes every message, and the stream stays
    // good for them.
    m_pTarget->sputn(text, count);
    return count;
}

int CRunReport::CTeeBuffer::sync()
{
    m_pTarget->pubsync();
    return 0;
}

CRunReport::CRunReport(const std::vector<std::string>& arguments, const char* mode, std::ostream& out,
                       std::ostream& err)
    : m_out(out), m_err(err), m_pTee(std::make_unique<CTeeBuffer>(err.rdbuf())),
      m_pMessages(std::make_unique<std::ostream>(m_pTee.get()))
{
    SRunOptions options;
    std::vector<std::string> databases;
    std::string error;
    SplitRunOptions(arguments, options, databases, error);
    m_sPath = options.report;
    m_bToOutput = m_sPath == ReportToStandardOutput;
    m_header.mode = mode;
    m_header.started = std::chrono::system_clock::now();
    m_header.sourceDb = Argument(databases, 0);
    m_header.sourceUser = Argument(databases, 1);
    m_header.destDb = Argument(databases, 3);
    m_header.destUser = Argument(databases, 4);
    m_header.tables = options.tables;
    m_header.tablesGiven = options.tablesGiven;
    m_header.exclude = options.exclude;
    m_header.retryFailed = options.retryFailed;
    m_header.noVerify = options.noVerify;
    m_header.sourceCharset = options.sourceCharset;
    m_sSourceUser = m_header.sourceUser;
    m_sDestUser = m_header.destUser;
    m_bVerify = !options.noVerify;
}

CRunReport::~CRunReport()
{
    m_pMessages->flush();
}

bool CRunReport::CanWrite(const std::string& programFile)
{
    if (!Wanted() || m_bToOutput)
        return true;
    // Nor may it take the place of the program's settings or of the records
    // that other runs rely on: the trigger journal, the failed tables.
    if (!programFile.empty())
    {
        const SStartupFolders folders = ResolveFolders(programFile, programFile);
        const auto same = [](const std::string& a, const std::string& b) {
            std::error_code first;
            std::error_code second;
            const auto left = std::filesystem::weakly_canonical(a, first);
            return !first && left == std::filesystem::weakly_canonical(b, second) && !second;
        };
        for (const std::string& own : {folders.appDir + "Rowmover.ini", folders.appDir + TriggerJournalFileName,
                                       folders.appDir + FailedTablesFileName})
        {
            if (same(m_sPath, own) || same(m_sPath, own + ".lock"))
            {
                Messages() << "rowmover: the report " << m_sPath << " would overwrite the program's own file " << own
                           << std::endl;
                return false;
            }
        }
        // Nor the run's own files in the program folder: the failed records
        // ("update_error.txt", "-2" ...) and the destination's copy.
        std::error_code first;
        std::error_code second;
        const std::filesystem::path report = std::filesystem::weakly_canonical(m_sPath, first);
        const std::filesystem::path folder =
            std::filesystem::weakly_canonical(std::filesystem::path(programFile).parent_path(), second);
        const std::string name = report.filename().string();
        if (!first && !second && report.parent_path() == folder &&
            (name.rfind("update_error", 0) == 0 || name.rfind("temp_db_backup", 0) == 0))
        {
            Messages() << "rowmover: the report " << m_sPath << " would overwrite the program's own file " << name
                       << std::endl;
            return false;
        }
    }
    // A report named like a database would overwrite it at the end of the run.
    std::error_code ignored;
    for (const std::string& database : {m_header.sourceDb, m_header.destDb})
    {
        const std::string local = GetLocalDatabasePath(database);
        if (!local.empty() && std::filesystem::equivalent(m_sPath, local, ignored))
        {
            Messages() << "rowmover: the report " << m_sPath << " would overwrite the database " << database
                       << std::endl;
            return false;
        }
    }
    if (std::filesystem::is_directory(m_sPath, ignored))
    {
        Messages() << "rowmover: the report cannot be written to " << m_sPath << ": it is a folder" << std::endl;
        return false;
    }
    // Opening a pipe to try it would end its reader's input.
    struct stat target
    {
    };
    if (::stat(m_sPath.c_str(), &target) == 0 && S_ISFIFO(target.st_mode))
        return true;
    CReplacingFile probe(Utf8ToWide(m_sPath), CReplacingFile::EAccess::OwnerOnly);
    if (!probe.Open())
    {
        Messages() << "rowmover: the report cannot be written to " << m_sPath << ": " << probe.Error() << std::endl;
        return false;
    }
    return true;
}

void CRunReport::TakeRun(const SUnattendedRun& run)
{
    const SRunSettings& settings = run.engine.Settings();
    if (!settings.source.user.empty())
        m_sSourceUser = settings.source.user;
    if (!settings.dest.user.empty())
        m_sDestUser = settings.dest.user;
    m_bVerify = settings.verify;
    if (run.settings.m_bDoLogs)
    {
        m_sRunLog = settings.files.runLog;
        m_sSqlLog = settings.files.sqlLog;
        m_sTextLog = settings.files.textLog;
    }
    m_sErrorReport = settings.files.errorReport;
    m_killedRunCopies = run.engine.Preparation().KilledRunCopies();
}

void CRunReport::TakeCopy(const SCopyRunResult& result)
{
    m_bCopyTaken = true;
    m_copy = result;
}

void CRunReport::TakeCheck(const SCheckReport& report, CLanguageCatalog& catalog)
{
    m_bCheckTaken = true;
    m_check = report;
    m_findingTexts.clear();
    for (const STableCheck& table : report.tables)
    {
        std::vector<std::string> texts;
        for (const SCheckFinding& finding : table.findings)
            texts.push_back(FindingText(finding, catalog));
        m_findingTexts.push_back(std::move(texts));
    }
}

void CRunReport::TakeCompare(const SCompareReport& report)
{
    m_bCompareTaken = true;
    m_compare = report;
}

std::string CRunReport::Json(const SHeader& header, int exitCode, bool complete) const
{
    CJsonWriter json;
    json.BeginObject();
    json.Key("report_version").Number(ReportVersion);
    json.Key("program").String("Rowmover");
    json.Key("program_version").String(ProgramVersionText);
    json.Key("mode").String(header.mode);
    json.Key("started").String(TimeText(header.started));
    json.Key("ended").String(TimeText(std::chrono::system_clock::now()));
    const auto database = [&](const char* key, const std::string& name, const std::string& user) {
        json.Key(key).BeginObject();
        json.Key("database").String(name);
        json.Key("user").StringOrNull(user);
        json.EndObject();
    };
    database("source", header.sourceDb, complete ? m_sSourceUser : header.sourceUser);
    database("destination", header.destDb, complete ? m_sDestUser : header.destUser);

    json.Key("options").BeginObject();
    json.Key("tables");
    if (header.tablesGiven)
        WriteNames(json, header.tables);
    else
        json.Null();
    json.Key("exclude");
    WriteNames(json, header.exclude);
    json.Key("retry_failed").Bool(header.retryFailed);
    json.Key("verify").Bool(complete ? m_bVerify : !header.noVerify);
    json.Key("source_charset").StringOrNull(header.sourceCharset);
    json.EndObject();

    json.Key("tables").BeginArray();
    if (complete && m_bCopyTaken)
    {
        for (const STableOutcome& table : m_copy.tables)
        {
            json.BeginObject();
            json.Key("name").String(table.table);
            json.Key("status").String(TableStatusName(table.status));
            json.Key("rows_read").Number(table.rowsRead);
            json.Key("rows_written").Number(table.rowsWritten);
            json.Key("rows_failed").Number(table.rowsFailed);
            json.Key("verification");
            if (table.verified)
                WriteVerification(json, table.verification);
            else
                json.Null();
            json.Key("seconds").Number(table.seconds, 3);
            json.Key("error").StringOrNull(table.error);
            json.EndObject();
        }
    }
    if (complete && m_bCheckTaken)
    {
        for (size_t t = 0; t < m_check.tables.size(); ++t)
        {
            const STableCheck& table = m_check.tables[t];
            json.BeginObject();
            json.Key("name").String(table.table);
            json.Key("status").String(SeverityName(table.severity));
            json.Key("source_rows").Number(table.sourceRows);
            json.Key("estimated_seconds").Number(table.estimatedSeconds, 1);
            json.Key("findings").BeginArray();
            for (size_t f = 0; f < table.findings.size(); ++f)
            {
                const SCheckFinding& finding = table.findings[f];
                json.BeginObject();
                json.Key("kind").String(KindName(finding.kind));
                json.Key("severity").String(SeverityName(finding.severity));
                json.Key("column").StringOrNull(finding.column);
                json.Key("rows");
                if (finding.rows < 0)
                    json.Null();
                else
                    json.Number(finding.rows);
                json.Key("detail").StringOrNull(finding.detail);
                json.Key("text").String(m_findingTexts[t][f]);
                json.EndObject();
            }
            json.EndArray();
            json.EndObject();
        }
    }
    if (complete && m_bCompareTaken)
    {
        for (const STableComparison& table : m_compare.tables)
        {
            json.BeginObject();
            json.Key("name").String(table.table);
            json.Key("status").String(!table.result.ran          ? "unreadable"
                                      : table.result.Identical() ? "identical"
                                                                 : "different");
            json.Key("verification");
            WriteVerification(json, table.result);
            json.EndObject();
        }
    }
    json.EndArray();
    // Tables outside the run whose interrupted copy it committed: unverified.
    json.Key("committed_from_prepared");
    WriteNames(json, complete && m_bCopyTaken ? m_copy.committedFromLimbo : std::vector<std::string>{});
    // Tables a killed copy into this destination had begun to replace.
    json.Key("unfinished_by_killed_run");
    WriteNames(json, complete && m_bCopyTaken ? m_copy.unfinishedByKilledRun : std::vector<std::string>{});
    // Triggers the run switched off and could not switch on again.
    json.Key("triggers_left_off").BeginArray();
    if (complete && m_bCopyTaken)
    {
        for (const CTriggerJournal::SEntry& entry : m_copy.triggersLeftOff)
        {
            json.BeginObject();
            json.Key("table").String(entry.table);
            json.Key("triggers");
            WriteNames(json, entry.triggers);
            json.EndObject();
        }
    }
    json.EndArray();
    // The destination copies that killed runs left behind, kept where they lie.
    json.Key("killed_run_copies");
    WriteNames(json, complete ? m_killedRunCopies : std::vector<std::string>{});

    json.Key("exit_code").Number(exitCode);
    json.Key("logs").BeginObject();
    const auto path = [&](const char* key, const std::string& file) {
        json.Key(key).StringOrNull(complete && !file.empty() && FileExists(file) ? file : std::string());
    };
    path("run", m_sRunLog);
    path("sql", m_sSqlLog);
    path("data_text", m_sTextLog);
    path("failed_records", m_sErrorReport);
    json.EndObject();
    json.Key("messages");
    WriteNames(json, m_pTee->Lines());
    json.EndObject();
    return json.Text();
}

bool CRunReport::Write(const std::string& json, std::string& error)
{
    if (m_bToOutput)
    {
        m_out << json << std::flush;
        return m_out.good();
    }
    return ReplaceFileContents(Utf8ToWide(m_sPath), json, &error, CReplacingFile::EAccess::OwnerOnly);
}

int CRunReport::Finish(int exitCode, CLanguageCatalog& catalog)
{
    Messages().flush();
    if (!Wanted())
        return exitCode;
    std::string error;
    if (Write(Json(m_header, exitCode, true), error))
        return exitCode;
    Messages() << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMReportNotWritten),
                             std::vector<std::string>{m_sPath, error})
               << std::endl;
    return exitCode == ExitAllCopied ? ExitTableFailed : exitCode;
}

void CRunReport::WriteInterrupted(const std::string& message)
{
    if (!Wanted())
        return;
    // A password prompt may stand unanswered on the line.
    Messages() << "\n" << message << std::endl;
    std::string error;
    Write(Json(m_header, ExitNotStarted, false), error);
}

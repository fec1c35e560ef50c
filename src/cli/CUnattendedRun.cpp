#include "cli/CUnattendedRun.h"

#include "cli/CStartupFolders.h"
#include "cli/CTerminalProgress.h"
#include "cli/CheckReportText.h"
#include "cli/CommandLine.h"
#include "cli/CommandLinePasswords.h"
#include "cli/InterruptSignals.h"
#include "cli/LeftBehindText.h"
#include "cli/ProgressText.h"
#include "cli/RunMessageText.h"
#include "cli/RunReport.h"
#include "cli/WayBackText.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "copy/check/CopyCheck.h"
#include "copy/plan/CTableList.h"
#include "copy/prepare/DatabaseCopy.h"
#include "copy/read/SourceSelect.h"
#include "copy/safety/CTriggerJournal.h"
#include "copy/verify/CopyCompare.h"
#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "db/CFbConnection.h"
#include "db/SqlText.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{
std::atomic<bool> g_stopRequested{false};

bool SourceHasCharacterSet(const CCopyEngine& engine, const std::string& name)
{
    CFbConnection source(engine.Settings().attempts);
    return source.Connect(engine.Settings().source.user, engine.Settings().source.password,
                          engine.Settings().source.database) &&
           HasCharacterSet(source, name);
}

std::string Text(CLanguageCatalog& catalog, ELanguageText id)
{
    return WideToUtf8(catalog.GetText(id));
}

// A server message on one line.
std::string OneLine(std::string message)
{
    for (char& c : message)
    {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return message;
}

// Completes a login of the command line: a password "-" is read from
// standard input; an empty user or password is taken from ISC_USER or
// ISC_PASSWORD, and when those are unset the engine takes the settings'
// defaults. False, said on err, when standard input has no line for it.
bool CompleteLogin(SDatabaseLogin& login, CLanguageCatalog& catalog, std::ostream& err)
{
    if (login.password == PasswordFromInput)
    {
        const std::string prompt =
            FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMPasswordPrompt), login.database);
        if (!ReadPasswordLine(STDIN_FILENO, prompt, err, login.password))
        {
            err << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMPasswordMissing), login.database) << std::endl;
            return false;
        }
    }
    if (login.user.empty())
        login.user = EnvironmentValue("ISC_USER");
    if (login.password.empty())
        login.password = EnvironmentValue("ISC_PASSWORD");
    return true;
}
// The tables of the run from the list of those in both databases: all, or
// as --tables, --exclude and --retry-failed choose. False when a name fits
// no table or several, or when nothing is left to do; said on err.
bool ChooseRunTables(SUnattendedRun& run, const SRunOptions& options, const std::vector<STableListRow>& rows,
                     std::ostream& err, std::vector<std::string>& chosen)
{
    CLanguageCatalog& catalog = run.catalog;
    if (options.retryFailed)
    {
        const CCopyEngine& engine = run.engine;
        // Those a killed run left unfinished are copied again too.
        const std::vector<std::string> failed = run.engine.FailedTables().ToRetry(engine.DestinationKey());
        if (failed.empty())
        {
            err << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMNothingToRetry),
                              engine.Settings().dest.database)
                << std::endl;
            run.nothingToDo = true;
            return false;
        }
        for (const std::string& table : failed)
        {
            std::vector<std::string> matches;
            // Recorded under the destination's spelling: only that one is the table.
            if (FindListedTable(rows, table, matches) != STableChoice::EError::None || matches.front() != table)
            {
                err << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMRetryTableGone), table) << std::endl;
                return false;
            }
        }
        err << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMRetryTables), Joined(failed, ", ")) << std::endl;
        // In list order, as every run goes.
        const STableChoice choice = ChooseTables(rows, false, failed, {});
        chosen = choice.tables;
        return true;
    }
    const STableChoice choice = ChooseTables(rows, !options.tablesGiven, options.tables, options.exclude);
    switch (choice.error)
    {
    case STableChoice::EError::Unknown:
        err << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMUnknownTable), choice.name) << std::endl;
        return false;
    case STableChoice::EError::Ambiguous:
        err << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMAmbiguousTable),
                          std::vector<std::string>{choice.name, Joined(choice.candidates, ", ")})
            << std::endl;
        return false;
    case STableChoice::EError::None: break;
    }
    if (choice.tables.empty())
    {
        err << Text(catalog, ELanguageText::FrmMain_m_aMNoSelection) << std::endl;
        return false;
    }
    chosen = choice.tables;
    return true;
}
} // namespace

void RestoreLeftoverTriggers(CCopyEngine& engine, std::ostream& err)
{
    std::vector<CTriggerJournal::SEntry> failed;
    for (const auto& entry :
         RestoreJournalTriggers(engine.Journal(), engine.Settings().dest.database, engine.Settings().dest.user,
                                engine.Settings().dest.password, engine.Settings().attempts, &failed))
        err << "The triggers of table " << entry.table << " in " << entry.database
            << " were left inactive by an interrupted copy; they are active again." << std::endl;
    for (const auto& entry : failed)
        err << "The triggers of table " << entry.table << " in " << entry.database
            << " were left inactive by an interrupted copy and could not be switched on again." << std::endl;
}

void RequestUnattendedStop()
{
    g_stopRequested.store(true);
}

bool PrepareUnattendedRun(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& err,
                          SUnattendedRun& run, IFontSettings* font, bool forCheck)
{
    SRunOptions options;
    std::vector<std::string> databases;
    std::string optionError;
    if (!SplitRunOptions(arguments, options, databases, optionError) || databases.size() != 6)
    {
        if (!optionError.empty())
            err << optionError << std::endl;
        return false;
    }
    const SStartupFolders folders = ResolveFolders(programFile, programFile);

    // The default language first, then the one the settings name.
    CAppSettings& settings = run.settings;
    std::u16string languageName;
    ResolveLanguageFile(Utf8ToWide(folders.homeBase), u"", settings.m_sLanguageFile, languageName);
    settings.m_sHomeBase = Utf8ToWide(folders.homeBase);
    settings.m_sAppDir = Utf8ToWide(folders.appDir);
    settings.SetApplyTexts([&](const std::u16string& file) { settings.m_sLanguageFile = file; });
    if (font != nullptr)
        settings.AttachFont(font);
    const std::string settingsFile = folders.appDir + "Rowmover.ini";
    const bool settingsRead = settings.LoadSettings(settingsFile);
    settings.SetApplyTexts({});
    CLanguageCatalog& catalog = run.catalog;
    catalog.Open(settings.m_sLanguageFile);
    // A damaged settings file would have the run copy with the defaults
    // (no code page for legacy text, logs on) while the user's settings say
    // otherwise: an unattended run does not guess.
    struct stat settingsInfo
    {
    };
    if (!settingsRead && ::stat(settingsFile.c_str(), &settingsInfo) == 0 && S_ISREG(settingsInfo.st_mode) &&
        settingsInfo.st_size > 0)
    {
        err << FormatText(catalog.GetText(ELanguageText::FrmMain_m_aMSettingsDamaged), settingsFile) << std::endl;
        return false;
    }

    CCopyEngine& engine = run.engine;
    engine.Init(WideToUtf8(settings.m_sDefUser), WideToUtf8(settings.m_sDefPass), settings.m_nRetries);
    engine.Journal().SetPath(folders.appDir + TriggerJournalFileName);
    engine.FailedTables().SetPath(folders.appDir + FailedTablesFileName);
    SDatabaseLogin source{databases[0], databases[1], databases[2]};
    SDatabaseLogin dest{databases[3], databases[4], databases[5]};
    // The command line's code page goes before the settings' one.
    std::string charset = options.sourceCharset.empty() ? WideToUtf8(settings.m_sSourceCharset) : options.sourceCharset;
    for (char& c : charset)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    engine.EditSettings().sourceCharset = charset;
    engine.EditSettings().verify = settings.m_bVerify && !options.noVerify;
    // The command line's choices go before the settings' ones.
    const bool makeBackup = settings.m_bDoBackups && !options.noBackup;
    SRunPlaces places;
    places.wayBack = settings.m_bDoWayBack && !options.noWayBack;
    places.backupFolder = options.backupDir.empty() ? WideToUtf8(settings.m_sBackupDir) : options.backupDir;
    places.logFolder = options.logDir.empty() ? WideToUtf8(settings.m_sLogDir) : options.logDir;
    engine.EditSettings().places = places;

    const auto fail = [&](ELanguageText message) {
        err << Text(catalog, message) << std::endl;
        return false;
    };
    if (source.database.empty())
        return fail(ELanguageText::FrmMain_m_aMNoSource);
    if (dest.database.empty())
        return fail(ELanguageText::FrmMain_m_aMNoDest);
    if (source.database == dest.database)
        return fail(ELanguageText::FrmMain_m_aMIdentical);
    if (!CompleteLogin(source, catalog, err) || !CompleteLogin(dest, catalog, err))
        return false;

    const auto prepare = [&](bool checkOnly) {
        const int result = forCheck
                               ? engine.PrepareAttachments(source, dest)
                               : engine.PrepareCopy(source.database, source.user, source.password, dest.database,
                                                    dest.user, dest.password, makeBackup, folders.runFiles, checkOnly);
        if (result == 1 || result == 2)
        {
            err << Text(catalog, result == 1 ? ELanguageText::FrmMain_m_aMErrorConnectSource
                                             : ELanguageText::FrmMain_m_aMErrorConnectDest)
                << std::endl;
            // The server's reason: a wrong password, no server, a locked file.
            if (!engine.Preparation().LastAttachError().empty())
                err << OneLine(engine.Preparation().LastAttachError()) << std::endl;
        }
        else if (result == 3)
            err << Text(catalog, ELanguageText::FrmMain_m_aMIdentical) << std::endl;
        else if (result == 4)
            err << SpaceShortageText(engine, catalog) << std::endl;
        return result == 0;
    };
    // A database that cannot be attached has said so; that its tables are
    // missing would blame the wrong thing.
    if (!prepare(true))
        return false;
    if (const std::string note = RunFilesNote(folders); !forCheck && !note.empty())
        err << note << std::endl;
    if (!charset.empty() && !SourceHasCharacterSet(engine, charset))
    {
        err << "rowmover: the source database knows no character set " << charset << std::endl;
        return false;
    }
    std::vector<STableListRow> rows;
    BuildTableList(
        engine.Settings().attempts,
        {engine.Settings().source.database, engine.Settings().source.user, engine.Settings().source.password},
        {engine.Settings().dest.database, engine.Settings().dest.user, engine.Settings().dest.password}, rows);
    SortTableList(rows);
    if (rows.empty())
        return fail(ELanguageText::FrmMain_m_aMNoTables);
    // The choice is settled before anything is written, to either database
    // or beside them.
    std::vector<std::string> chosen;
    if (!ChooseRunTables(run, options, rows, err, chosen))
        return false;
    // The check writes nothing; what interrupted copies left behind is part
    // of its report.
    if (!forCheck)
        RestoreLeftoverTriggers(engine, err);
    // The logs' room is counted with the rest, before anything is written.
    if (!forCheck)
        engine.Preparation().PlanLogs(chosen, settings.m_bDoLogs ? ELogging::On : ELogging::Off);
    if (!forCheck && !prepare(false))
        return false;
    if (!forCheck)
    {
        for (const std::string& text : PreparedCopiesTexts(engine, makeBackup, catalog))
            err << text << std::endl;
    }
    for (const std::string& text : KilledRunCopyTexts(engine.Preparation().KilledRunCopies(), catalog))
        err << text << std::endl;

    CStringGrid& tables = run.tables;
    tables.SetSize(1, 0);
    for (const std::string& name : chosen)
    {
        tables.SetCell(0, tables.RowCount(), name);
        tables.AddRows(1);
    }
    return true;
}

CCopyJob UnattendedJob(SUnattendedRun& run)
{
    return CCopyJob{&run.tables, &run.engine, run.settings.m_bDoLogs ? ELogging::On : ELogging::Off, true, {}};
}

std::string UnattendedResultLine(SUnattendedRun& run, const std::string& table, bool copied)
{
    return FormatText(
        run.catalog.GetText(copied ? ELanguageText::FrmCopy_m_acMCopySuccess : ELanguageText::FrmCopy_m_acMCopyFailed),
        table);
}

int FinishUnattendedRun(SUnattendedRun& run, const SCopyRunResult& result, std::ostream& out, std::ostream& err)
{
    const auto tell = [&](const std::vector<SRunMessage>& messages) {
        for (const SRunMessage& message : messages)
            err << RunMessageText(message, run.catalog) << std::endl;
    };
    // A run that another copy held the destination against never starts.
    if (!result.started)
    {
        tell(RunEndMessages(result, run.engine.Settings().dest.database, {}));
        return ExitNotStarted;
    }
    const std::string& log = run.engine.Settings().files.runLog;
    const std::string& sql = run.engine.Settings().files.sqlLog;
    const std::string& text = run.engine.Settings().files.textLog;
    const std::vector<std::string> lost = run.engine.Logs().LostLogFiles();
    const auto named = [&](const std::string& path) {
        if (!FileExists(path))
            return path + " (missing: it could not be written)";
        if (std::find(lost.begin(), lost.end(), path) != lost.end())
            return path + " (incomplete: some entries could not be written)";
        return path;
    };
    if (run.settings.m_bDoLogs)
        out << "Run log: " << named(log) << "\nSQL log: " << named(sql) << "\nData text log: " << named(text) << "\n"
            << DiskUseText(run.engine, run.catalog) << std::endl;
    const SRunEnd end = EndRun(run.engine, result);
    tell(end.messages);
    WriteRunSummary(run.engine, result, end.keptCopy);
    // An abort ends the run short of its tables, whatever it left behind.
    // So are triggers left off: the destination does not work as before.
    // Missing logs are a failure of the run even when every table arrived: a
    // caller that relies on them must not be told that all went well.
    return result.allCopied && !result.stopped && !result.aborted && result.lostLogFile.empty() &&
                   result.triggersLeftOff.empty()
               ? ExitAllCopied
               : ExitTableFailed;
}

int RunUnattended(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
                  std::ostream& err, bool progressLine)
{
    CRunReport report(arguments, "copy", out, err);
    std::ostream& lines = report.Lines();
    std::ostream& messages = report.Messages();
    SUnattendedRun run;
    // The line is rewritten in place, and taken away before anything else
    // is printed; without a terminal nothing of it is written.
    CTerminalProgress progress(err, CTerminalProgress::TerminalWidth(STDERR_FILENO));
    const auto between = [&](const auto& write) {
        if (progressLine)
            progress.Between(write);
        else
            write();
    };
    // Ctrl+C, SIGTERM, SIGQUIT or a hang-up (a dropped ssh session, a closed
    // terminal): the run ends after the table in progress, the way that
    // leaves every table whole and never stops inside a group; a second one,
    // never a repeated hang-up, aborts that table (its rows rolled back, its
    // triggers on again). Without a terminal the messages still reach the
    // report.
    // Before the copy begins nothing is written to either database, and a
    // password prompt may be waiting: an interrupt then ends the program at
    // once, with the terminal as it was.
    std::atomic<bool> copying{false};
    termios terminal{};
    const bool onTerminal = tcgetattr(STDIN_FILENO, &terminal) == 0;
    CInterruptWatch interrupts([&](int count) {
        if (!copying.load())
        {
            if (onTerminal)
                tcsetattr(STDIN_FILENO, TCSANOW, &terminal);
            // A backup cut short must not be left under a backup's name,
            // nor its database held still for it.
            EndLockedCopyInProgress();
            RemoveCopyInProgress();
            const char* said = "Interrupted before the copy began; nothing was written.";
            if (report.Wanted())
                report.WriteInterrupted(said);
            else
                messages << "\n" << said << std::endl;
            std::_Exit(ExitNotStarted);
        }
        if (count == 1)
        {
            RequestUnattendedStop();
            between([&] {
                messages
                    << "Interrupted: the copy ends after the table in progress. Interrupt again to abort that table."
                    << std::endl;
            });
            return;
        }
        run.engine.RequestAbort();
        between([&] { messages << "Aborting the table in progress." << std::endl; });
    });
    if (!report.CanWrite(programFile))
        return ExitNotStarted;
    const bool prepared = PrepareUnattendedRun(arguments, programFile, messages, run);
    report.TakeRun(run);
    if (!prepared)
        return report.Finish(run.nothingToDo ? ExitAllCopied : ExitNotStarted, run.catalog);
    copying.store(true);
    SCopyRunEvents events;
    events.tableFinished = [&](int, const std::string& table, bool copied) {
        between([&] { lines << UnattendedResultLine(run, table, copied) << std::endl; });
    };
    std::unique_ptr<SProgressTexts> texts;
    if (progressLine)
    {
        texts = std::make_unique<SProgressTexts>(run.catalog);
        events.tableProgress = [&](int index, const SRowProgress& rows) {
            progress.Show(RowProgressText(*texts, run.tables.GetCell(0, index), rows));
        };
        events.tableVerifying = [&](int, const std::string& table) {
            progress.Show(FormatText(run.catalog.GetText(ELanguageText::FrmCopy_m_acMVerifying), table));
        };
    }
    const SCopyRunResult result = RunCopyJob(UnattendedJob(run), g_stopRequested, events);
    progress.Clear();
    const int exitCode = FinishUnattendedRun(run, result, lines, messages);
    report.TakeCopy(result);
    return report.Finish(exitCode, run.catalog);
}

namespace
{
// The tables of a prepared run as a list.
std::vector<std::string> TableNames(SUnattendedRun& run)
{
    std::vector<std::string> tables;
    for (int row = 0; row < run.tables.RowCount(); ++row)
        tables.push_back(run.tables.GetCell(0, row));
    return tables;
}
} // namespace

namespace
{
// A run that only reads both databases: prepared as a copy would be, then
// body reads the chosen tables, writes its report and gives the exit code.
template <typename Body>
int RunReadOnly(const std::vector<std::string>& arguments, const std::string& programFile, const char* kind,
                std::ostream& out, std::ostream& err, Body body)
{
    CRunReport report(arguments, kind, out, err);
    SUnattendedRun run;
    if (!report.CanWrite(programFile))
        return ExitNotStarted;
    const bool prepared = PrepareUnattendedRun(arguments, programFile, report.Messages(), run, nullptr, true);
    report.TakeRun(run);
    if (!prepared)
        return report.Finish(run.nothingToDo ? ExitAllCopied : ExitNotStarted, run.catalog);
    return report.Finish(body(run, report), run.catalog);
}
} // namespace

int RunCheck(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
             std::ostream& err)
{
    return RunReadOnly(arguments, programFile, "check", out, err, [](SUnattendedRun& run, CRunReport& report) {
        SCheckReport check = CheckCopy(run.engine.Settings(), TableNames(run));
        NoteUnfinishedTables(check, run.engine.FailedTables().Unfinished(run.engine.DestinationKey()));
        check.leftBehind =
            FindLeftBehind(run.engine.Settings(), run.engine.Journal().Entries(run.engine.DestinationKey()));
        for (const std::string& text : LeftBehindTexts(check.leftBehind, run.catalog))
            report.Messages() << text << std::endl;
        report.Lines() << CheckReportText(check, run.catalog) << std::flush;
        report.TakeCheck(check, run.catalog);
        if (!check.checked)
            return ExitNotStarted;
        return check.Count(ECheckSeverity::Fails) == 0 ? ExitAllCopied : ExitTableFailed;
    });
}

int RunCompare(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
               std::ostream& err)
{
    return RunReadOnly(arguments, programFile, "compare", out, err, [](SUnattendedRun& run, CRunReport& report) {
        const SCompareReport compare = CompareTables(run.engine.Settings(), TableNames(run));
        report.Lines() << CompareReportText(compare) << std::flush;
        report.TakeCompare(compare);
        if (!compare.compared)
            return ExitNotStarted;
        return compare.Identical() ? ExitAllCopied : ExitTableFailed;
    });
}

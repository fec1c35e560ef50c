#include "app/CUnattendedRun.h"

#include "app/CStartupFolders.h"
#include "config/CAppSettings.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "copy/CCopyEngine.h"
#include "copy/CCopyRun.h"
#include "copy/CTableList.h"
#include "core/TextEncoding.h"

#include <atomic>
#include <ostream>

namespace
{
std::atomic<bool> g_stopRequested{false};

std::string Text(CLanguageCatalog& catalog, ELanguageText id)
{
    return WideToUtf8(catalog.GetText(id));
}
} // namespace

void RequestUnattendedStop()
{
    g_stopRequested.store(true);
}

int RunUnattended(const std::vector<std::string>& arguments, const std::string& programFile, std::ostream& out,
                  std::ostream& err)
{
    if (arguments.size() != 6)
        return ExitNotStarted;
    const SStartupFolders folders = ResolveFolders(programFile, programFile);

    // The default language first, then the one the settings name.
    CAppSettings settings;
    std::u16string languageName;
    ResolveLanguageFile(Utf8ToWide(folders.homeBase), u"", settings.m_sLanguageFile, languageName);
    settings.m_sHomeBase = Utf8ToWide(folders.homeBase);
    settings.m_sAppDir = Utf8ToWide(folders.appDir);
    settings.SetApplyTexts([&](const std::u16string& file) { settings.m_sLanguageFile = file; });
    settings.LoadSettings(folders.appDir + "Rowmover.ini");
    CLanguageCatalog catalog;
    catalog.Open(settings.m_sLanguageFile);

    CCopyEngine engine;
    engine.Init(WideToUtf8(settings.m_sDefUser), WideToUtf8(settings.m_sDefPass), settings.m_nRetries);
    const SDatabaseLogin source{arguments[0], arguments[1], arguments[2]};
    const SDatabaseLogin dest{arguments[3], arguments[4], arguments[5]};

    const auto fail = [&](ELanguageText message) {
        err << Text(catalog, message) << std::endl;
        return ExitNotStarted;
    };
    if (source.database.empty())
        return fail(ELanguageText::FrmMain_m_aMNoSource);
    if (dest.database.empty())
        return fail(ELanguageText::FrmMain_m_aMNoDest);
    if (source.database == dest.database)
        return fail(ELanguageText::FrmMain_m_aMIdentical);

    const auto prepare = [&](bool checkOnly) {
        const int result = engine.PrepareCopy(source.database, source.user, source.password, dest.database, dest.user,
                                              dest.password, settings.m_bDoBackups, folders.homeBase, checkOnly);
        if (result == 1)
            err << Text(catalog, ELanguageText::FrmMain_m_aMErrorConnectSource) << std::endl;
        else if (result == 2)
            err << Text(catalog, ELanguageText::FrmMain_m_aMErrorConnectDest) << std::endl;
        return result == 0;
    };
    std::vector<STableListRow> rows;
    if (prepare(true))
    {
        BuildTableList(engine.m_nAttempts, {engine.m_sSourceDb, engine.m_sSourceUser, engine.m_sSourcePassword},
                       {engine.m_sDestDb, engine.m_sDestUser, engine.m_sDestPassword}, rows);
        SortTableList(rows);
    }
    if (rows.empty())
        return fail(ELanguageText::FrmMain_m_aMNoTables);
    if (!prepare(false))
        return ExitNotStarted;

    CStringGrid tables;
    tables.SetSize(1, 0);
    for (const STableListRow& row : rows)
    {
        tables.SetCell(0, tables.RowCount(), row.name);
        tables.AddRows(1);
    }
    CCopyJob job{&tables, &engine, settings.m_bDoLogs ? 1 : 0, true};
    SCopyRunEvents events;
    const std::u16string success = catalog.GetText(ELanguageText::FrmCopy_m_acMCopySuccess);
    const std::u16string failure = catalog.GetText(ELanguageText::FrmCopy_m_acMCopyFailed);
    events.tableFinished = [&](int, const std::string& table, bool copied) {
        out << FormatText(copied ? success : failure, table) << std::endl;
    };
    const SCopyRunResult result = RunCopyJob(job, g_stopRequested, events);

    std::string log;
    std::string sql;
    std::string text;
    engine.GetLogFiles(log, sql, text);
    if (settings.m_bDoLogs)
        out << "Run log: " << log << "\nSQL log: " << sql << "\nData text log: " << text << std::endl;
    if (!result.allCopied)
        err << FormatText(catalog.GetText(ELanguageText::FrmCopy_m_acMCopyFailed2), result.failedTables) << std::endl;
    return result.allCopied && !result.stopped ? ExitAllCopied : ExitTableFailed;
}

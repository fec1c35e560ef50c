#include "app/CRowmoverState.h"

#include "cli/CStartupFolders.h"
#include "cli/CUnattendedRun.h"
#include "cli/EmbeddedFallback.h"
#include "copy/run/CCopyEngine.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"
#include "db/CFbConnection.h"

namespace
{
// Names are taken up to this many characters, as the drop event gives them.
constexpr std::size_t kMaxDroppedName = 4095;
} // namespace

CRowmoverState::CRowmoverState() = default;
CRowmoverState::~CRowmoverState() = default;

void CRowmoverState::ResolveFolders(const std::string& programFile, const std::string& firstArgument)
{
    const SStartupFolders folders = ::ResolveFolders(programFile, firstArgument);
    m_sHomeBase = Utf8ToWide(folders.homeBase);
    m_sAppDir = Utf8ToWide(folders.appDir);
    m_sRunFiles = Utf8ToWide(folders.runFiles);
    m_sRunFilesNote = RunFilesNote(folders);
}

std::u16string CRowmoverState::SettingsFile() const
{
    return m_sAppDir + u"Rowmover.ini";
}

void CRowmoverState::CreateCopyEngine()
{
    m_pCopyEngine = std::make_unique<CCopyEngine>();
    m_pCopyEngine->Init(WideToUtf8(m_sDefUser), WideToUtf8(m_sDefPass), m_nRetries);
    // The same journal as the unattended run's, so either one can switch on
    // what the other left off.
    m_pCopyEngine->Journal().SetPath(WideToUtf8(m_sAppDir) + TriggerJournalFileName);
    // Tables that fail in the window can be copied again from the command line.
    m_pCopyEngine->FailedTables().SetPath(WideToUtf8(m_sAppDir) + FailedTablesFileName);
}

void CRowmoverState::UseDefaultCredentials()
{
    m_sSourceUser = m_sDefUser;
    m_sDestUser = m_sDefUser;
    m_sSourcePassword = m_sDefPass;
    m_sDestPassword = m_sDefPass;
}

int CRowmoverState::PrepareEngine(bool checkOnly)
{
    if (!m_pCopyEngine)
        CreateCopyEngine();
    // Preparing overwrites the names and logs a running copy works with.
    if (m_pCopyEngine->IsRunActive())
        return EngineBusy;
    m_pCopyEngine->EditSettings().sourceCharset = WideToUtf8(m_sSourceCharset);
    m_pCopyEngine->EditSettings().verify = m_bVerify;
    SRunPlaces places;
    places.wayBack = m_bDoWayBack;
    places.backupFolder = WideToUtf8(m_sBackupDir);
    places.logFolder = WideToUtf8(m_sLogDir);
    m_pCopyEngine->EditSettings().places = places;
    m_sAttachError.clear();
    for (;;)
    {
        const int result = m_pCopyEngine->PrepareCopy(
            WideToUtf8(m_sSourceDb), WideToUtf8(m_sSourceUser), WideToUtf8(m_sSourcePassword), WideToUtf8(m_sDestDb),
            WideToUtf8(m_sDestUser), WideToUtf8(m_sDestPassword), m_bDoBackups,
            WideToUtf8(m_sRunFiles.empty() ? m_sHomeBase : m_sRunFiles), checkOnly);
        if (result == Prepared)
        {
            SetAttachState(ESide::Source, EAttach::Attached);
            SetAttachState(ESide::Dest, EAttach::Attached);
            return result;
        }
        if (result == 4)
            return NoSpace;
        if (result != SourceNotAttached && result != DestNotAttached)
            return result;
        // The source is attached first: a destination failure means the
        // source attached.
        const ESide failed = result == SourceNotAttached ? ESide::Source : ESide::Dest;
        if (failed == ESide::Dest)
            SetAttachState(ESide::Source, EAttach::Attached);
        // Each side falls back once at most, so this ends.
        if (!FallBackToEmbedded(failed))
        {
            SetAttachState(failed, EAttach::Failed);
            m_sAttachError = m_pCopyEngine->Preparation().LastAttachError();
            return result;
        }
    }
}

bool CRowmoverState::CheckDatabase(ESide side)
{
    const bool source = side == ESide::Source;
    const std::u16string& user = source ? m_sSourceUser : m_sDestUser;
    const std::u16string& password = source ? m_sSourcePassword : m_sDestPassword;
    // Empty credentials stand for the defaults, as in the copy engine.
    const std::string userText = WideToUtf8(user.empty() ? m_sDefUser : user);
    const std::string passwordText = WideToUtf8(password.empty() ? m_sDefPass : password);
    m_sAttachError.clear();
    for (;;)
    {
        CFbConnection connection(m_nRetries);
        if (connection.Connect(userText, passwordText, WideToUtf8(Database(side))))
        {
            connection.Disconnect();
            SetAttachState(side, EAttach::Attached);
            return true;
        }
        if (!FallBackToEmbedded(side))
        {
            SetAttachState(side, EAttach::Failed);
            m_sAttachError = connection.LastErrorMessage();
            return false;
        }
    }
}

SDatabaseCheck CRowmoverState::MakeDatabaseCheck(bool source, bool dest, bool listTables) const
{
    SDatabaseCheck check;
    const auto side = [this](ESide which, bool wanted) {
        const bool isSource = which == ESide::Source;
        SDatabaseCheck::SSide copy;
        copy.database = Database(which);
        copy.user = isSource ? m_sSourceUser : m_sDestUser;
        copy.password = isSource ? m_sSourcePassword : m_sDestPassword;
        copy.openedDirectly = OpenedDirectly(which);
        copy.check = wanted && !copy.database.empty();
        return copy;
    };
    check.source = side(ESide::Source, source);
    check.dest = side(ESide::Dest, dest);
    check.defaultUser = m_sDefUser;
    check.defaultPassword = m_sDefPass;
    check.retries = m_nRetries;
    check.listTables = listTables && source && dest;
    return check;
}

int CRowmoverState::TakeDatabaseCheck(const SDatabaseCheck& check)
{
    m_sAttachError = check.attachError;
    for (const ESide which : {ESide::Source, ESide::Dest})
    {
        const SDatabaseCheck::SSide& side = which == ESide::Source ? check.source : check.dest;
        if (!side.check)
            continue;
        if (side.openedDirectly && !OpenedDirectly(which))
        {
            Database(which) = side.database;
            (which == ESide::Source ? m_bSourceOpenedDirectly : m_bDestOpenedDirectly) = true;
        }
        if (side.attached)
            SetAttachState(which, EAttach::Attached);
        else if (side.failed)
            SetAttachState(which, EAttach::Failed);
    }
    return check.result;
}

bool CRowmoverState::FallBackToEmbedded(ESide side)
{
    if (OpenedDirectly(side))
        return false;
    const bool source = side == ESide::Source;
    const std::u16string& user = source ? m_sSourceUser : m_sDestUser;
    const std::u16string& password = source ? m_sSourcePassword : m_sDestPassword;
    const std::u16string file = EmbeddedFallbackName(Database(side), user.empty() ? m_sDefUser : user,
                                                     password.empty() ? m_sDefPass : password);
    if (file.empty())
        return false;
    Database(side) = file;
    (source ? m_bSourceOpenedDirectly : m_bDestOpenedDirectly) = true;
    return true;
}

void CRowmoverState::SetDatabase(ESide side, const std::u16string& name)
{
    Database(side) = name;
    SetAttachState(side, EAttach::Unknown);
    (side == ESide::Source ? m_bSourceOpenedDirectly : m_bDestOpenedDirectly) = false;
}

void CRowmoverState::SetAttachState(ESide side, EAttach state)
{
    (side == ESide::Source ? m_eSourceAttach : m_eDestAttach) = state;
}

bool CRowmoverState::LoadTableList(std::vector<STableListRow>& rows) const
{
    const SDatabaseLogin source{WideToUtf8(m_sSourceDb), WideToUtf8(m_sSourceUser), WideToUtf8(m_sSourcePassword)};
    const SDatabaseLogin dest{WideToUtf8(m_sDestDb), WideToUtf8(m_sDestUser), WideToUtf8(m_sDestPassword)};
    const bool loaded = BuildTableList(m_nRetries, source, dest, rows);
    SortTableList(rows);
    return loaded;
}

std::u16string DroppedDatabaseName(const std::u16string& fullPath, const std::u16string& prefix)
{
    return prefix + fullPath.substr(0, kMaxDroppedName);
}

bool IsDatabaseFileName(const std::u16string& name)
{
    const std::u16string extension = GetExtensionLower(name);
    return extension == u".fdb" || extension == u".gdb";
}

SDropTargets DropTargets(const std::vector<std::u16string>& fullPaths, bool sourceShown, const std::u16string& prefix)
{
    SDropTargets targets;
    if (fullPaths.size() == 1)
    {
        const std::u16string database = DroppedDatabaseName(fullPaths[0], prefix);
        if (!IsDatabaseFileName(database))
            return targets;
        (sourceShown ? targets.sDestDb : targets.sSourceDb) = database;
    }
    else if (fullPaths.size() == 2)
    {
        const std::u16string source = DroppedDatabaseName(fullPaths[0], prefix);
        const std::u16string dest = DroppedDatabaseName(fullPaths[1], prefix);
        if (IsDatabaseFileName(source))
            targets.sSourceDb = source;
        if (IsDatabaseFileName(dest))
            targets.sDestDb = dest;
    }
    return targets;
}

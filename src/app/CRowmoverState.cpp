#include "app/CRowmoverState.h"

#include "app/CStartupFolders.h"
#include "app/CUnattendedRun.h"
#include "copy/CCopyEngine.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"

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
    m_pCopyEngine->m_sSourceCharset = WideToUtf8(m_sSourceCharset);
    return m_pCopyEngine->PrepareCopy(WideToUtf8(m_sSourceDb), WideToUtf8(m_sSourceUser), WideToUtf8(m_sSourcePassword),
                                      WideToUtf8(m_sDestDb), WideToUtf8(m_sDestUser), WideToUtf8(m_sDestPassword),
                                      m_bDoBackups, WideToUtf8(m_sHomeBase), checkOnly);
}

bool CRowmoverState::LoadTableList(std::vector<STableListRow>& rows) const
{
    const SDatabaseLogin source{WideToUtf8(m_sSourceDb), WideToUtf8(m_sSourceUser), WideToUtf8(m_sSourcePassword)};
    const SDatabaseLogin dest{WideToUtf8(m_sDestDb), WideToUtf8(m_sDestUser), WideToUtf8(m_sDestPassword)};
    const bool loaded = BuildTableList(m_nRetries, source, dest, rows);
    SortTableList(rows);
    return loaded;
}

std::u16string DroppedDatabaseName(const std::u16string& fullPath)
{
    return u"localhost:" + fullPath.substr(0, kMaxDroppedName);
}

bool IsDatabaseFileName(const std::u16string& name)
{
    const std::u16string extension = GetExtensionLower(name);
    return extension == u".fdb" || extension == u".gdb";
}

SDropTargets DropTargets(const std::vector<std::u16string>& fullPaths, bool sourceShown)
{
    SDropTargets targets;
    if (fullPaths.size() == 1)
    {
        const std::u16string database = DroppedDatabaseName(fullPaths[0]);
        if (!IsDatabaseFileName(database))
            return targets;
        if (sourceShown)
        {
            targets.sDestDb = database;
            targets.bRefresh = true;
        }
        else
            targets.sSourceDb = database;
    }
    else if (fullPaths.size() == 2)
    {
        const std::u16string source = DroppedDatabaseName(fullPaths[0]);
        const std::u16string dest = DroppedDatabaseName(fullPaths[1]);
        if (IsDatabaseFileName(source))
            targets.sSourceDb = source;
        if (IsDatabaseFileName(dest))
            targets.sDestDb = dest;
        targets.bRefresh = true;
    }
    return targets;
}

#include "copy/run/CCopyEngine.h"

#include "copy/run/CRunSession.h"

CCopyEngine::CCopyEngine() : m_preparation(m_settings, m_logs, m_journal) {}

CCopyEngine::~CCopyEngine() = default;

void CCopyEngine::Init(const std::string& defUser, const std::string& defPass, int attempts)
{
    m_preparation.SetDefaults(defUser, defPass);
    m_settings.attempts = attempts;
}

void CCopyEngine::Configure(const SRunSettings& settings)
{
    m_settings = settings;
    m_logs.SetFiles(settings.files);
    m_logs.SetLogging(settings.logging);
}

int CCopyEngine::PrepareCopy(const std::string& sourceDB, const std::string& sourceUser,
                             const std::string& sourcePassword, const std::string& destDB, const std::string& destUser,
                             const std::string& destPassword, bool makeBackup, const std::string& programFolder,
                             bool checkOnly)
{
    return m_preparation.Prepare({sourceDB, sourceUser, sourcePassword}, {destDB, destUser, destPassword}, makeBackup,
                                 programFolder, checkOnly);
}

int CCopyEngine::PrepareAttachments(const SDatabaseLogin& source, const SDatabaseLogin& dest)
{
    return m_preparation.Attach(source, dest);
}

STableOutcome CCopyEngine::RunTable(const std::string& table, ELogging logging)
{
    CRunSession session(*this);
    if (!session.Begun())
    {
        STableOutcome busy;
        busy.table = table;
        busy.status = ETableStatus::Failed;
        busy.error = "another copy is running";
        return busy;
    }
    return session.CopyTable(table, logging);
}

#include "copy/run/CRunAttachments.h"

#include "copy/write/GroupInProgress.h"
#include "db/FbStatus.h"
#include "db/SchemaQueries.h"

#include <ibase.h>

CRunAttachments::CRunAttachments(const SRunSettings& settings)
    : m_nAttempts(settings.attempts), m_source(std::make_unique<CFbConnection>(m_nAttempts)),
      m_dest(std::make_unique<CFbConnection>(m_nAttempts)), m_sourceLogin(settings.source), m_destLogin(settings.dest)
{
}

void CRunAttachments::Follow(const SRunSettings& settings)
{
    const auto same = [](const SDatabaseLogin& a, const SDatabaseLogin& b) {
        return a.database == b.database && a.user == b.user && a.password == b.password;
    };
    if (same(settings.source, m_sourceLogin) && same(settings.dest, m_destLogin) && settings.attempts == m_nAttempts)
        return;
    Close();
    m_nAttempts = settings.attempts;
    m_source = std::make_unique<CFbConnection>(m_nAttempts);
    m_dest = std::make_unique<CFbConnection>(m_nAttempts);
    m_sourceLogin = settings.source;
    m_destLogin = settings.dest;
}

CRunAttachments::~CRunAttachments()
{
    Close();
}

void CRunAttachments::DropBroken()
{
    for (std::unique_ptr<CFbConnection>* connection : {&m_source, &m_dest})
    {
        if (!(*connection)->IsConnected())
            continue;
        if ((*connection)->Answers())
            continue;
        // Its destructor rolls back and detaches what can still be reached.
        *connection = std::make_unique<CFbConnection>(m_nAttempts);
        (connection == &m_source ? m_bSourceTablesRead : m_bDestTablesRead) = false;
    }
}

bool CRunAttachments::Tables(CFbConnection& connection, bool& read, std::vector<std::string>& cache,
                             std::vector<std::string>& tables)
{
    if (!read)
    {
        if (!GetUserTables(connection, cache))
            return false;
        read = true;
    }
    tables = cache;
    return true;
}

bool CRunAttachments::Detach(std::unique_ptr<CFbConnection>& connection)
{
    const bool detached = !connection->IsConnected() || connection->Disconnect();
    // A connection whose detach failed still counts itself attached; its
    // destructor rolls back and lets go of it, and a fresh one takes its
    // place.
    if (!detached)
        connection = std::make_unique<CFbConnection>(m_nAttempts);
    return detached;
}

bool CRunAttachments::EndTable(bool keep)
{
    bool committed = true;
    for (CFbConnection* connection : {m_source.get(), m_dest.get()})
    {
        if (connection->IsConnected() && !connection->Commit())
        {
            connection->Rollback();
            committed = false;
        }
    }
    if (!keep || !committed)
        Close();
    return committed;
}

bool CRunAttachments::Close()
{
    const bool source = Detach(m_source);
    const bool dest = Detach(m_dest);
    // Read again after a new attach: the database may have changed while
    // the run was not attached to it.
    m_bSourceTablesRead = m_bDestTablesRead = false;
    return source && dest;
}

CTableAttachments::CTableAttachments(const SRunSettings& settings, CRunAttachments* shared, SGroupInProgress* group)
    : m_pShared(group ? nullptr : shared), m_pGroup(group), m_source(settings.attempts), m_dest(settings.attempts)
{
    if (m_pShared)
    {
        m_pShared->Follow(settings);
        m_pShared->DropBroken();
    }
}

CFbConnection& CTableAttachments::Source()
{
    if (m_pGroup)
        return m_pGroup->source;
    return m_pShared ? m_pShared->Source() : m_source;
}

CFbConnection& CTableAttachments::Dest()
{
    if (m_pGroup)
        return m_pGroup->dest;
    return m_pShared ? m_pShared->Dest() : m_dest;
}

CTableAttachments::~CTableAttachments()
{
    if (m_pShared)
        m_pShared->EndTable(m_bSucceeded && !m_bDestCloseFailed);
}

bool CTableAttachments::SourceTables(std::vector<std::string>& tables)
{
    return m_pShared ? m_pShared->SourceTables(tables) : GetUserTables(Source(), tables);
}

bool CTableAttachments::DestTables(std::vector<std::string>& tables)
{
    return m_pShared ? m_pShared->DestTables(tables) : GetUserTables(Dest(), tables);
}

bool CTableAttachments::CloseDestination()
{
    m_bDestClosed = true;
    // The group's transaction stays open for the group's end.
    if (m_pGroup)
        return true;
    if (!m_pShared)
        return m_dest.Disconnect();
    CFbConnection& dest = m_pShared->Dest();
    if (!dest.IsConnected())
        return false;
    // What a detach would do with the open work: commit it.
    if (dest.Commit())
        return true;
    m_bDestCloseFailed = true;
    return false;
}

void CTableAttachments::CloseSource()
{
    if (!m_pShared && !m_pGroup)
        m_source.Disconnect();
}

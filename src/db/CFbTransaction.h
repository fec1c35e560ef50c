#pragma once

#include <string>

class CFbConnection;

// The open transaction of a connection as one unit of work: Commit() says
// whether the server took it, and a transaction still open when the object
// goes is rolled back, so no path leaves work half committed.
class CFbTransaction
{
  public:
    // Starts the connection's transaction when none is open.
    explicit CFbTransaction(CFbConnection& connection);
    ~CFbTransaction();
    CFbTransaction(const CFbTransaction&) = delete;
    CFbTransaction& operator=(const CFbTransaction&) = delete;

    // False when it could not be started.
    bool Started() const { return m_bStarted; }
    // The first phase of a two-phase commit, with a mark stored beside the
    // transaction (see PreparedTransactions.h); false with the error.
    bool Prepare(const std::string& mark);
    // False, with the server's message, when the server refuses the commit;
    // the work is then rolled back. A prepared transaction whose commit
    // fails is left as it is, in limbo, for whoever decides for its group.
    bool Commit();
    void Rollback();
    const std::string& Error() const { return m_sError; }

  private:
    CFbConnection& m_connection;
    bool m_bStarted = false;
    bool m_bEnded = false;
    bool m_bPrepared = false;
    std::string m_sError;
};

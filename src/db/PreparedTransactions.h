#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CFbConnection;

// Transactions of a database that were prepared (the first phase of a
// two-phase commit) and then neither committed nor rolled back, because the
// program or its connection went away in between: "in limbo". The engine
// keeps their rows hidden from every reader until someone decides for them.
struct SPreparedTransaction
{
    std::uint32_t id = 0;
    std::string description; // what the preparing program wrote with it
    int state = 1;           // RDB$TRANSACTION_STATE: 1 in limbo, 2 committed, 3 rolled back
};

// Prepares the connection's open transaction, storing description with it
// in the database; false with the connection's error on failure.
bool PrepareTransaction(CFbConnection& connection, const std::string& description);

// The transactions of the connection's database in limbo.
bool ReadPreparedTransactions(CFbConnection& connection, std::vector<SPreparedTransaction>& prepared,
                              std::string& error);

// The prepared transactions of the database that have since been committed
// or rolled back, as RDB$TRANSACTIONS keeps them, oldest first.
bool ReadEndedTransactions(CFbConnection& connection, std::vector<SPreparedTransaction>& ended, std::string& error);

// Takes over one transaction in limbo from this attachment and commits or
// rolls it back.
bool EndPreparedTransaction(CFbConnection& connection, std::uint32_t id, bool commit, std::string& error);

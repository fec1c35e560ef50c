#pragma once

#include <functional>
#include <string>
#include <vector>

class CFbConnection;

// A table written by several attachments commits in two phases: the
// table's own transaction ("main") is prepared first, then every writer's,
// then the main one commits, then the writers. Each prepared transaction
// carries a mark naming its group; after a crash or a lost connection in
// between, the marks alone decide: a group whose main transaction is still
// in limbo never committed and is rolled back (writers first, so a main
// transaction out of limbo always means it committed); a group whose main
// transaction left limbo committed it, and its writers are committed too.
struct SPreparedMark
{
    std::string host;
    long pid = 0;
    std::string group;
    bool main = false;
    std::string table;
};

std::string PreparedMarkText(const SPreparedMark& mark);
// False for a description another program wrote.
bool ParsePreparedMark(const std::string& text, SPreparedMark& mark);
// A group name no other commit of this machine uses.
std::string NewCommitGroup();
// The mark of a transaction this process prepares.
SPreparedMark OwnPreparedMark(const std::string& group, const std::string& table, bool main);
// True when the program that prepared the transaction ran on this machine
// and has ended: its work can be decided for. A live run's group, or
// another machine's, is never touched.
bool PreparedOwnerGone(const SPreparedMark& mark);

struct SResolvedCommit
{
    std::string table;
    bool committed = false;
    size_t transactions = 0;
};

// Ends the prepared transactions of the groups that mayEnd accepts (it sees
// each transaction's mark). False with the reason when one could not be
// read or ended; resolved lists what was decided either way.
bool ResolvePreparedCommits(CFbConnection& connection, const std::function<bool(const SPreparedMark&)>& mayEnd,
                            std::vector<SResolvedCommit>& resolved, std::string& error);

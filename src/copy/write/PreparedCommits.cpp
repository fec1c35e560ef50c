#include "copy/write/PreparedCommits.h"

#include "core/TabFields.h"
#include "db/PreparedTransactions.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <map>
#include <optional>
#include <unistd.h>

namespace
{
const char MarkPrefix[] = "Rowmover two-phase copy";

std::string ThisHost()
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return "localhost";
    return name;
}
} // namespace

std::string PreparedMarkText(const SPreparedMark& mark)
{
    std::string text = MarkPrefix;
    for (const std::string& field :
         {mark.host, std::to_string(mark.pid), mark.group, std::string(mark.main ? "main" : "writer"), mark.table})
        text += "\t" + EscapeTabField(field);
    return text;
}

bool ParsePreparedMark(const std::string& text, SPreparedMark& mark)
{
    const std::vector<std::string> fields = SplitTabFields(text);
    if (fields.size() != 6 || fields[0] != MarkPrefix || (fields[4] != "main" && fields[4] != "writer"))
        return false;
    try
    {
        mark.pid = std::stol(fields[2]);
    }
    catch (const std::exception&)
    {
        return false;
    }
    mark.host = fields[1];
    mark.group = fields[3];
    mark.main = fields[4] == "main";
    mark.table = fields[5];
    return true;
}

std::string NewCommitGroup()
{
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return ThisHost() + "-" + std::to_string(getpid()) + "-" +
           std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) + "-" +
           std::to_string(++counter);
}

SPreparedMark OwnPreparedMark(const std::string& group, const std::string& table, bool main)
{
    SPreparedMark mark;
    mark.host = ThisHost();
    mark.pid = static_cast<long>(getpid());
    mark.group = group;
    mark.main = main;
    mark.table = table;
    return mark;
}

bool PreparedOwnerGone(const SPreparedMark& mark)
{
    if (mark.host != ThisHost() || mark.pid <= 0)
        return false;
    return kill(static_cast<pid_t>(mark.pid), 0) != 0 && errno == ESRCH;
}

bool ResolvePreparedCommits(CFbConnection& connection, const std::function<bool(const SPreparedMark&)>& mayEnd,
                            std::vector<SResolvedCommit>& resolved, std::string& error)
{
    std::vector<SPreparedTransaction> prepared;
    if (!ReadPreparedTransactions(connection, prepared, error))
        return false;
    struct SGroup
    {
        std::string table;
        std::vector<std::uint32_t> main;
        std::vector<std::uint32_t> writers;
        SPreparedMark mark;
    };
    std::map<std::string, SGroup> groups;
    for (const SPreparedTransaction& transaction : prepared)
    {
        SPreparedMark mark;
        if (!ParsePreparedMark(transaction.description, mark) || !mayEnd(mark))
            continue;
        SGroup& group = groups[mark.group];
        group.table = mark.table;
        group.mark = mark;
        (mark.main ? group.main : group.writers).push_back(transaction.id);
    }
    bool allEnded = true;
    // Read once, and only when a group's main transaction has left limbo.
    std::optional<std::vector<SPreparedTransaction>> ended;
    for (const auto& [name, group] : groups)
    {
        SResolvedCommit outcome;
        outcome.table = group.table;
        outcome.committed = group.main.empty();
        if (outcome.committed)
        {
            // A main transaction out of limbo committed, unless the database
            // records it rolled back: rolled back after a writer's answer to
            // its prepare got lost, with that writer already in limbo.
            if (!ended)
            {
                std::vector<SPreparedTransaction> read;
                std::string failure;
                if (!ReadEndedTransactions(connection, read, failure))
                {
                    if (allEnded)
                    {
                        allEnded = false;
                        error = failure;
                    }
                    continue;
                }
                ended = std::move(read);
            }
            SPreparedMark main = group.mark;
            main.main = true;
            const std::string mainText = PreparedMarkText(main);
            const auto found = std::find_if(ended->rbegin(), ended->rend(),
                                            [&](const SPreparedTransaction& t) { return t.description == mainText; });
            outcome.committed = found == ended->rend() || found->state != 3;
        }
        // Rolling back, the writers go first: should this be cut short, the
        // main transaction still in limbo keeps the decision the same.
        std::vector<std::uint32_t> order = group.writers;
        order.insert(order.end(), group.main.begin(), group.main.end());
        for (std::uint32_t id : order)
        {
            std::string failure;
            if (EndPreparedTransaction(connection, id, outcome.committed, failure))
                ++outcome.transactions;
            else if (allEnded)
            {
                allEnded = false;
                error = failure;
            }
        }
        resolved.push_back(outcome);
    }
    return allEnded;
}

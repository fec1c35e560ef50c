#include "copy/write/CBatchInserter.h"

#include "db/CFbConnection.h"
#include "db/CFbParamStatement.h"
#include "db/SqlText.h"

#include <algorithm>
#include <cstring>

namespace
{
// Firebird 3 limits a statement's message to 64 KB and its text to 64 KB;
// both budgets leave room for the headers of the block.
constexpr size_t MessageBudget = 56000;
constexpr size_t TextBudget = 56000;

std::string ParamName(size_t index)
{
    return "P" + std::to_string(index);
}
} // namespace

void BindRow(CFbParamStatement& statement, const BoundRow& row, int first, const std::string& table,
             const std::vector<std::string>& columns)
{
    for (size_t c = 0; c < row.size(); ++c)
    {
        const int i = first + static_cast<int>(c);
        const SBoundValue& value = row[c];
        switch (value.kind)
        {
        case SBoundValue::Null: statement.SetNull(i); break;
        case SBoundValue::Double: statement.SetDouble(i, value.number); break;
        case SBoundValue::Bytes: statement.SetBytes(i, value.bytes, value.binary); break;
        case SBoundValue::Raw: statement.SetRaw(i, value.sqlType, value.scale, value.subType, value.bytes); break;
        case SBoundValue::Array: statement.SetArray(i, table, columns[c], value.array); break;
        case SBoundValue::Blob: {
            ISC_QUAD id{};
            std::memcpy(&id, value.bytes.data(), std::min(sizeof id, value.bytes.size()));
            statement.SetBlob(i, id);
            break;
        }
        }
    }
}

CBatchInserter::CBatchInserter(CFbConnection& dest, const std::string& table, const std::vector<std::string>& columns,
                               ResultCallback onResult)
    : m_dest(dest), m_sTable(table), m_columns(columns), m_onResult(std::move(onResult))
{
    m_sInsertSql = "INSERT INTO " + SqlIdentifier(table) + " (";
    for (size_t c = 0; c < columns.size(); ++c)
        m_sInsertSql += (c ? "," : "") + SqlIdentifier(columns[c]);
    m_sInsertSql += ") VALUES (";
    for (size_t c = 0; c < columns.size(); ++c)
        m_sInsertSql += c ? ",?" : "?";
    m_sInsertSql += ")";
}

CBatchInserter::~CBatchInserter() = default;

bool CBatchInserter::Prepare()
{
    m_single = std::make_unique<CFbParamStatement>(m_dest);
    m_bPrepared = m_single->Prepare(m_sInsertSql);
    m_sPrepareError = m_single->LastErrorMessage();
    // Without the statement no row can go in, whatever it holds.
    if (!m_bPrepared)
        Break(m_sPrepareError);
    // How many rows fit the statement text of a block.
    size_t perRow = 0;
    for (size_t c = 0; c < m_columns.size(); ++c)
        perRow += 40 + SqlIdentifier(m_sTable).size() + 2 * SqlIdentifier(m_columns[c]).size();
    perRow += m_sInsertSql.size();
    m_nTextRowLimit = perRow == 0 ? 1 : std::max<size_t>(1, TextBudget / perRow);
    return m_bPrepared;
}

size_t CBatchInserter::RowBytes(const BoundRow& row)
{
    // A text may take up to twice its length in the message (its room grows
    // in powers of two); numbers take at most eight bytes and an indicator.
    size_t bytes = 0;
    for (const SBoundValue& value : row)
    {
        const bool text = value.kind == SBoundValue::Bytes || value.kind == SBoundValue::Raw;
        bytes += 12 + (text ? 2 * value.bytes.size() : 0);
    }
    return bytes;
}

void CBatchInserter::Add(BoundRow& row)
{
    const bool alone =
        std::any_of(row.begin(), row.end(), [](const SBoundValue& v) { return v.kind == SBoundValue::Blob; });
    if (alone)
        Flush();
    const size_t bytes = RowBytes(row);
    const size_t limit = std::min(m_nMaxBatchRows, m_nTextRowLimit);
    if (m_nPending > 0 && (m_nPending >= limit || m_nPendingBytes + bytes > MessageBudget))
        Flush();
    m_nPendingBytes += bytes;
    if (m_nPending == m_pending.size())
        m_pending.emplace_back();
    m_pending[m_nPending++].swap(row);
    if (alone)
        Flush();
}

void CBatchInserter::AddFailed(const std::string& message, EFbFault fault)
{
    Flush();
    if (fault == EFbFault::Table)
        Break(message);
    m_onResult(m_bBroken ? ERowResult::Broken : ERowResult::Refused, m_bBroken ? m_sBrokenError : message);
}

void CBatchInserter::Break(const std::string& error)
{
    if (m_bBroken)
        return;
    m_bBroken = true;
    m_sBrokenError = error;
}

void CBatchInserter::Finish()
{
    Flush();
}

std::string CBatchInserter::BlobBpb(size_t column, bool binary) const
{
    return m_bPrepared ? m_single->BlobBpb(static_cast<int>(column), binary) : std::string();
}

bool CBatchInserter::RunSingle(const BoundRow& row, std::string& error, EFbFault& fault)
{
    if (!m_bPrepared)
    {
        error = m_sPrepareError;
        fault = EFbFault::Table;
        return false;
    }
    BindRow(*m_single, row, 0, m_sTable, m_columns);
    const bool ok = m_single->Execute();
    error = ok ? std::string() : m_single->LastErrorMessage();
    fault = m_single->LastFault();
    return ok;
}

CFbParamStatement* CBatchInserter::BlockStatement(size_t rows)
{
    auto found = m_blocks.find(rows);
    if (found != m_blocks.end())
        return found->second.get();
    const std::string table = SqlIdentifier(m_sTable);
    std::string sql = "EXECUTE BLOCK (";
    std::string body;
    size_t index = 0;
    for (size_t r = 0; r < rows; ++r)
    {
        body += "INSERT INTO " + table + " (";
        std::string values;
        for (size_t c = 0; c < m_columns.size(); ++c, ++index)
        {
            const std::string column = SqlIdentifier(m_columns[c]);
            sql += (index ? "," : "") + ParamName(index) + " TYPE OF COLUMN " + table + "." + column + " = ?";
            body += (c ? "," : "") + column;
            values += (c ? ",:" : ":") + ParamName(index);
        }
        body += ") VALUES (" + values + ");\n";
    }
    sql += ") AS BEGIN\n" + body + "END";
    auto statement = std::make_unique<CFbParamStatement>(m_dest);
    if (!statement->Prepare(sql))
        return nullptr;
    return m_blocks.emplace(rows, std::move(statement)).first->second.get();
}

void CBatchInserter::Flush()
{
    if (m_nPending == 0)
        return;
    // The rows stay in m_pending as storage for the rows added next.
    const size_t rows = m_nPending;
    m_nPending = 0;
    m_nPendingBytes = 0;
    bool sent = false;
    if (!m_bBroken && m_bPrepared && m_bBlocksWork && rows > 1 && !m_columns.empty())
    {
        CFbParamStatement* block = BlockStatement(rows);
        if (!block)
            m_bBlocksWork = false; // the table's types do not suit a block: rows go one by one
        else
        {
            for (size_t r = 0; r < rows; ++r)
                BindRow(*block, m_pending[r], static_cast<int>(r * m_columns.size()), m_sTable, m_columns);
            if (block->Execute())
            {
                for (size_t r = 0; r < rows; ++r)
                    m_onResult(ERowResult::Inserted, {});
                sent = true;
            }
            // A full disk or a lost connection would fail each row again.
            else if (block->LastFault() == EFbFault::Table)
                Break(block->LastErrorMessage());
        }
    }
    if (sent)
        return;
    // The block was undone as a whole; each row now succeeds or fails alone.
    std::string error;
    EFbFault fault = EFbFault::None;
    for (size_t r = 0; r < rows; ++r)
    {
        if (m_bBroken)
        {
            m_onResult(ERowResult::Broken, m_sBrokenError);
            continue;
        }
        if (RunSingle(m_pending[r], error, fault))
            m_onResult(ERowResult::Inserted, {});
        else if (fault == EFbFault::Table)
        {
            Break(error);
            m_onResult(ERowResult::Broken, error);
        }
        else
            m_onResult(ERowResult::Refused, error);
    }
}

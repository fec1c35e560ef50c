#include "sqleditor/CRecordStatements.h"

#include "db/CFbConnection.h"
#include "db/SqlText.h"

#include <algorithm>

const char* const CRecordStatements::kCreateTestTable =
    "CREATE TABLE Test_Table (\r\nTest_ID INT NOT NULL PRIMARY KEY,\r\nTest_TextVarChar VARCHAR(25),\r\n"
    "Test_TextVarying CHARACTER VARYING(255),\r\nTest_ValueFloat FLOAT\r\n);";
const char* const CRecordStatements::kShowSystemTable = "SELECT * FROM RDB$RELATIONS;";

CRecordStatements::CRecordStatements(CStringGrid& columnGrid, CStringGrid& rowGrid, const std::string& table)
    : m_columnGrid(columnGrid), m_rowGrid(rowGrid), m_sTable(table)
{
    CStringGrid none;
    ChooseKey(false, none);
}

void CRecordStatements::ChooseKey(bool keyQueryOk, CStringGrid& keyGrid)
{
    std::vector<std::string> names;
    if (keyQueryOk)
    {
        // A foreign-key field names the parent, not the record: deleting by
        // it would hit every sibling row. It serves only when the table has
        // no primary key, and then only its first field.
        for (int r = 0; r < keyGrid.RowCount(); ++r)
        {
            const std::string field = keyGrid.GetCell(0, r);
            if (keyGrid.GetCell(1, r) == "PRIMARY KEY" && !field.empty() &&
                std::find(names.begin(), names.end(), field) == names.end())
                names.push_back(field);
        }
        if (names.empty() && !keyGrid.GetCell(0, 0).empty())
            names.push_back(keyGrid.GetCell(0, 0));
    }

    m_keyNames.clear();
    m_keyColumns.clear();
    for (const std::string& name : names)
    {
        int column = -1;
        for (int c = 0; c < m_columnGrid.ColumnCount() && column < 0; ++c)
            if (m_columnGrid.GetCell(c, 0) == name)
                column = c;
        if (column < 0)
        {
            // Without the key's value in the result no condition on the key
            // can be written; the first column is the best remaining guess.
            m_keyNames.clear();
            m_keyColumns.clear();
            break;
        }
        m_keyNames.push_back(name);
        m_keyColumns.push_back(column);
    }
    if (m_keyNames.empty())
    {
        m_keyNames.push_back(m_columnGrid.GetCell(0, 0));
        m_keyColumns.push_back(0);
    }
}

void CRecordStatements::ChooseKey(CFbConnection& connection)
{
    CStringGrid keyGrid;
    const bool ok = connection.GetKeyFields(m_sTable, keyGrid);
    ChooseKey(ok, keyGrid);
}

std::string CRecordStatements::ColumnName(int column)
{
    return SqlIdentifier(m_columnGrid.GetCell(column, 0));
}

std::string CRecordStatements::Literal(int column, int row)
{
    if (m_rowGrid.IsCellNull(column, row))
        return "NULL";
    const std::string text = m_rowGrid.GetCell(column, row);
    if (m_columnGrid.GetCell(column, 1) == "VALUE")
        return text;
    return "'" + EscapeSqlString(text) + "'";
}

std::string CRecordStatements::KeyCondition(int row)
{
    std::string condition;
    for (size_t k = 0; k < m_keyNames.size(); ++k)
    {
        if (k > 0)
            condition += " AND ";
        condition += SqlIdentifier(m_keyNames[k]);
        // "=NULL" is never true; a NULL key value needs its own test.
        if (m_rowGrid.IsCellNull(m_keyColumns[k], row))
            condition += " IS NULL";
        else
            condition += "=" + Literal(m_keyColumns[k], row);
    }
    return condition;
}

bool CRecordStatements::IsKeyColumn(int column) const
{
    return std::find(m_keyColumns.begin(), m_keyColumns.end(), column) != m_keyColumns.end();
}

std::string CRecordStatements::DeleteRecords(const std::vector<int>& rows)
{
    std::string text;
    for (size_t i = 0; i < rows.size(); ++i)
    {
        if (i > 0)
            text += "\r\n";
        text += "DELETE FROM " + SqlIdentifier(m_sTable) + " WHERE " + KeyCondition(rows[i]) + ";";
    }
    return text;
}

std::string CRecordStatements::ModifyRecord(int row)
{
    if (m_columnGrid.ColumnCount() == 0 || m_sTable.empty() || row < 0)
        return {};
    std::vector<int> columns;
    for (int c = 0; c < m_columnGrid.ColumnCount(); ++c)
    {
        // A BLOB shows as its identifier; written back, that text would
        // replace the BLOB's content. Left out, the BLOB stays as it is.
        if (!IsKeyColumn(c) && m_columnGrid.GetCell(c, 3) != "BLOB")
            columns.push_back(c);
    }
    std::string text = "UPDATE " + SqlIdentifier(m_sTable) + " SET";
    for (size_t i = 0; i < columns.size(); ++i)
    {
        text += "\r\n" + ColumnName(columns[i]) + "=" + Literal(columns[i], row);
        if (i + 1 < columns.size())
            text += ",";
    }
    text += "\r\nWHERE " + KeyCondition(row) + ";";
    return text;
}

std::string CRecordStatements::InsertRecord()
{
    const int columns = m_columnGrid.ColumnCount();
    if (columns == 0 || m_sTable.empty())
        return {};
    std::string text = "INSERT INTO " + SqlIdentifier(m_sTable) + "(";
    for (int c = 0; c < columns; ++c)
        text += (c == 0 ? "\r\n" : ",\r\n") + ColumnName(c);
    text += "\r\n) VALUES (";
    for (int c = 0; c < columns; ++c)
        text += std::string(c == 0 ? "\r\n" : ",\r\n") + (m_columnGrid.GetCell(c, 1) == "VALUE" ? "0" : "''");
    text += "\r\n);";
    return text;
}

std::string CRecordStatements::DropTable(const std::string& table)
{
    return "DROP TABLE " + (table.empty() ? std::string("TEST_TABLE") : SqlIdentifier(table)) + ";";
}

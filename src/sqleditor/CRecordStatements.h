#pragma once

#include "core/CStringGrid.h"

#include <string>
#include <vector>

class CFbConnection;

// Builds the ready-made statements of the editor's Edit menu from the result
// of the last statement: its column table (row 0 names, row 1 "STRING" or
// "VALUE") and its row table. Values are written as SQL literals: texts
// between apostrophes with inner apostrophes doubled, numbers bare, NULL as
// NULL. Statements of several records are joined with CR LF.
class CRecordStatements
{
  public:
    CRecordStatements(CStringGrid& columnGrid, CStringGrid& rowGrid, const std::string& table);

    // Picks the fields that identify a record from a key field grid (field,
    // constraint type, table per row) as the connection's key query returns
    // it; keyQueryOk false when that query failed. The primary key's fields
    // win over foreign-key fields; without a usable key, or when a key field
    // is not among the result columns, the first result column stands in.
    void ChooseKey(bool keyQueryOk, CStringGrid& keyGrid);
    // ChooseKey with the key fields the connection reports for the table.
    void ChooseKey(CFbConnection& connection);

    const std::vector<std::string>& KeyNames() const { return m_keyNames; }
    const std::vector<int>& KeyColumns() const { return m_keyColumns; }

    // One DELETE per given row of the row table, in the given order; empty
    // for no rows.
    std::string DeleteRecords(const std::vector<int>& rows);
    // An UPDATE of every non-key, non-BLOB column of the row, or empty when
    // there is no result column, no table or no row.
    std::string ModifyRecord(int row);
    // An INSERT template with 0 or '' for each result column, or empty when
    // there is no result column or no table.
    std::string InsertRecord();

    // DROP TABLE of table, or of TEST_TABLE when none is known.
    static std::string DropTable(const std::string& table);
    static const char* const kCreateTestTable;
    static const char* const kShowSystemTable;

    // The value at (column, row) as an SQL literal.
    std::string Literal(int column, int row);

  private:
    std::string ColumnName(int column);
    std::string KeyCondition(int row);
    bool IsKeyColumn(int column) const;

    CStringGrid& m_columnGrid;
    CStringGrid& m_rowGrid;
    std::string m_sTable;
    std::vector<std::string> m_keyNames;
    std::vector<int> m_keyColumns;
};

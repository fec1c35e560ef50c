#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A two-dimensional table of UTF-8 text cells addressed (column, row).
// The logical size (what callers iterate over) is kept apart from the stored
// cells: writing a cell grows storage but never the logical size.
//
// Beside its text, every cell carries marks that a text cannot express: a
// NULL value (read as the empty text) and binary content (bytes that are not
// text, such as a binary BLOB).
class CStringGrid
{
public:
    enum ECellMark : std::uint8_t
    {
        MarkNone = 0,
        MarkNull = 1,
        MarkBinary = 2,
    };

    CStringGrid();

    int RowCount() const { return m_nLastRow + 1; }
    int ColumnCount() const { return m_nLastColumn + 1; }

    bool SetSize(int columns, int rows);
    bool Resize(int columns, int rows);
    bool AddRows(int n);

    std::string GetCell(int column, int row);
    std::string GetCellUnguarded(int column, int row) const;
    int GetCellLength(int column, int row) const;
    long GetCellInt(int column, int row) const;
    bool CopyCellText(int column, int row, char* buffer, int bufferSize);

    // True when the stored cell was written as a database NULL.
    bool IsCellNull(int column, int row) const;
    // True when the stored cell holds binary bytes rather than text.
    bool IsCellBinary(int column, int row) const;
    std::uint8_t GetCellMarks(int column, int row) const;

    bool SetCell(int column, int row, const std::string& text);
    // Stores text together with its marks (see ECellMark).
    bool SetCellMarked(int column, int row, const std::string& text, std::uint8_t marks);
    bool SetCellInt(int column, int row, long long value);
    bool Clear();
    bool DeleteRow(int row);

    bool CopyTo(CStringGrid& target);
    bool AppendRowTo(int row, CStringGrid& target);
    // Index of the first stored row whose cell at column matches value, or -1.
    // Mode 1: equal length and equal after ASCII lower-casing.
    int FindRow(int column, const std::string& value, int mode);
    bool SaveToFile(const std::u16string& path);

    const std::u16string& FileName() const { return m_sFileName; }
    void SetSeparator(const std::string& separator) { m_sSeparator = separator; }
    void SetCodePage(unsigned codePage) { m_nCodePage = codePage; }

private:
    struct SCell
    {
        std::string text;
        std::uint8_t marks = MarkNone;
    };

    bool TakeReadHold();
    bool TakeWriteHold();
    void ReleaseHold();
    const SCell* StoredCell(int column, int row) const;
    void StoreCell(int column, int row, const std::string& text, std::uint8_t marks);
    bool SetSizeHeld(int columns, int rows);

    std::vector<std::vector<SCell>> m_rows;
    int m_nAccess = 0;
    std::u16string m_sFileName;
    bool m_bSized = false;
    int m_nReaders = 0;
    int m_nLastRow = -1;
    int m_nLastColumn = -1;
    unsigned m_nCodePage = 65001;
    std::string m_sSeparator = ";";
};

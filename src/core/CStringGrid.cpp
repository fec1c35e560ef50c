#include "core/CStringGrid.h"

#include "core/FileHelpers.h"
#include "core/TextEncoding.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
// Holds are taken and released inside one operation; this guard releases on
// every return path.
template <typename Release>
class CHoldGuard
{
public:
    explicit CHoldGuard(Release release) : m_release(release) {}
    ~CHoldGuard() { m_release(); }
    CHoldGuard(const CHoldGuard&) = delete;
    CHoldGuard& operator=(const CHoldGuard&) = delete;

private:
    Release m_release;
};

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
    {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
} // namespace

CStringGrid::CStringGrid() = default;

bool CStringGrid::TakeReadHold()
{
    if (m_nAccess == 2)
        return false;
    m_nAccess = 1;
    ++m_nReaders;
    return true;
}

bool CStringGrid::TakeWriteHold()
{
    if (m_nAccess != 0)
        return false;
    m_nAccess = 2;
    return true;
}

void CStringGrid::ReleaseHold()
{
    if (m_nAccess == 2)
    {
        m_nReaders = 0;
        m_nAccess = 0;
        return;
    }
    --m_nReaders;
    if (m_nReaders <= 0)
    {
        m_nReaders = 0;
        m_nAccess = 0;
    }
}

bool CStringGrid::SetSizeHeld(int columns, int rows)
{
    if (columns > 0 && rows >= 0 && !m_bSized)
    {
        if (rows > 0)
            m_nLastRow = rows - 1;
        m_nLastColumn = columns - 1;
        m_bSized = true;
    }
    return true;
}

bool CStringGrid::SetSize(int columns, int rows)
{
    if (!TakeWriteHold())
        return false;
    SetSizeHeld(columns, rows);
    ReleaseHold();
    return true;
}

bool CStringGrid::Resize(int columns, int rows)
{
    if (!TakeWriteHold())
        return false;
    if (rows < 0 || columns < 1)
    {
        ReleaseHold();
        return false;
    }
    if (m_bSized)
    {
        m_nLastRow = rows - 1;
        m_nLastColumn = columns - 1;
        ReleaseHold();
        return true;
    }
    ReleaseHold();
    return SetSize(columns, rows);
}

bool CStringGrid::AddRows(int n)
{
    if (!TakeWriteHold())
        return false;
    if (n > 0 && m_bSized)
        m_nLastRow += n;
    ReleaseHold();
    return true;
}

const CStringGrid::SCell* CStringGrid::StoredCell(int column, int row) const
{
    if (row < 0 || column < 0 || row > m_nLastRow || column > m_nLastColumn)
        return nullptr;
    if (static_cast<size_t>(row) >= m_rows.size())
        return nullptr;
    const auto& cells = m_rows[static_cast<size_t>(row)];
    if (static_cast<size_t>(column) >= cells.size())
        return nullptr;
    return &cells[static_cast<size_t>(column)];
}

std::string CStringGrid::GetCell(int column, int row)
{
    if (!TakeReadHold())
        return {};
    CHoldGuard guard([this] { ReleaseHold(); });
    try
    {
        return GetCellUnguarded(column, row);
    }
    catch (const std::bad_alloc&)
    {
        return {};
    }
}

std::string CStringGrid::GetCellUnguarded(int column, int row) const
{
    const SCell* cell = StoredCell(column, row);
    return cell ? cell->text : std::string();
}

int CStringGrid::GetCellLength(int column, int row) const
{
    const SCell* cell = StoredCell(column, row);
    return cell ? static_cast<int>(cell->text.size()) : -1;
}

long CStringGrid::GetCellInt(int column, int row) const
{
    const SCell* cell = StoredCell(column, row);
    if (!cell || cell->text.empty())
        return 0;
    return std::strtol(cell->text.c_str(), nullptr, 10);
}

bool CStringGrid::CopyCellText(int column, int row, char* buffer, int bufferSize)
{
    if (!TakeReadHold())
        return true;
    const SCell* cell = StoredCell(column, row);
    const std::string text = cell ? cell->text : std::string();
    if (bufferSize > 0)
    {
        if (text.size() < static_cast<size_t>(bufferSize))
            std::memcpy(buffer, text.c_str(), text.size() + 1);
        else
            buffer[0] = '\0';
    }
    ReleaseHold();
    return true;
}

bool CStringGrid::IsCellNull(int column, int row) const
{
    return (GetCellMarks(column, row) & MarkNull) != 0;
}

bool CStringGrid::IsCellBinary(int column, int row) const
{
    return (GetCellMarks(column, row) & MarkBinary) != 0;
}

std::uint8_t CStringGrid::GetCellMarks(int column, int row) const
{
    const SCell* cell = StoredCell(column, row);
    return cell ? cell->marks : static_cast<std::uint8_t>(MarkNone);
}

void CStringGrid::StoreCell(int column, int row, const std::string& text, std::uint8_t marks)
{
    const auto c = static_cast<size_t>(column);
    const auto r = static_cast<size_t>(row);
    if (r < m_rows.size())
    {
        auto& cells = m_rows[r];
        if (c >= cells.size())
            cells.resize(c + 1);
        cells[c].text = text;
        cells[c].marks = marks;
        return;
    }
    // Rows appended as padding hold column + 1 empty cells, as the new row does.
    while (m_rows.size() <= r)
        m_rows.emplace_back(c + 1);
    m_rows[r][c].text = text;
    m_rows[r][c].marks = marks;
}

bool CStringGrid::SetCell(int column, int row, const std::string& text)
{
    return SetCellMarked(column, row, text, MarkNone);
}

bool CStringGrid::SetCellMarked(int column, int row, const std::string& text, std::uint8_t marks)
{
    if (column < 0 || row < 0)
        return false;
    if (!TakeWriteHold())
        return false;
    StoreCell(column, row, text, marks);
    ReleaseHold();
    return true;
}

bool CStringGrid::SetCellInt(int column, int row, long long value)
{
    return SetCell(column, row, std::to_string(value));
}

bool CStringGrid::Clear()
{
    if (!TakeWriteHold())
        return false;
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_nLastRow = -1;
    m_nLastColumn = -1;
    m_bSized = false;
    m_sFileName.clear();
    ReleaseHold();
    return true;
}

bool CStringGrid::DeleteRow(int row)
{
    if (!TakeWriteHold())
        return false;
    bool deleted = false;
    if (row >= 0 && static_cast<size_t>(row) < m_rows.size() && !m_rows[static_cast<size_t>(row)].empty())
    {
        m_rows.erase(m_rows.begin() + row);
        --m_nLastRow;
        deleted = true;
    }
    ReleaseHold();
    return deleted;
}

bool CStringGrid::CopyTo(CStringGrid& target)
{
    if (!TakeReadHold())
        return false;
    target.Resize(ColumnCount(), RowCount());
    if (!target.TakeWriteHold())
    {
        ReleaseHold();
        return false;
    }
    for (int r = 0; r < RowCount(); ++r)
    {
        for (int c = 0; c < ColumnCount(); ++c)
            target.StoreCell(c, r, GetCellUnguarded(c, r), GetCellMarks(c, r));
    }
    target.ReleaseHold();
    ReleaseHold();
    return true;
}

bool CStringGrid::AppendRowTo(int row, CStringGrid& target)
{
    if (!TakeReadHold())
        return false;
    target.Resize(ColumnCount(), target.RowCount());
    target.AddRows(1);
    const int targetRow = target.RowCount() - 1;
    if (target.TakeWriteHold())
    {
        for (int c = 0; c < ColumnCount(); ++c)
            target.StoreCell(c, targetRow, GetCellUnguarded(c, row), GetCellMarks(c, row));
        target.ReleaseHold();
    }
    ReleaseHold();
    return true;
}

int CStringGrid::FindRow(int column, const std::string& value, int mode)
{
    if (column < 0 || !TakeReadHold())
        return -1;
    int found = -1;
    for (size_t r = 0; r < m_rows.size() && found < 0; ++r)
    {
        const auto& cells = m_rows[r];
        if (static_cast<size_t>(column) >= cells.size())
            continue;
        const std::string& text = cells[static_cast<size_t>(column)].text;
        const bool match = mode == 1 ? EqualIgnoringAsciiCase(text, value) : text == value;
        if (match)
            found = static_cast<int>(r);
    }
    ReleaseHold();
    return found;
}

bool CStringGrid::SaveToFile(const std::u16string& path)
{
    if (path.empty())
        return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(OpenFileWide(path, "wb+"), &std::fclose);
    if (!file)
        return false;
    bool ok = true;
    for (int r = 0; r < RowCount(); ++r)
    {
        for (int c = 0; c < ColumnCount(); ++c)
        {
            std::string text = GetCell(c, r);
            if (m_nCodePage != 65001)
                text = Utf8ToCodePage(text, m_nCodePage);
            ok = ok && std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
            if (c + 1 < ColumnCount())
                ok = ok && std::fwrite(m_sSeparator.data(), 1, m_sSeparator.size(), file.get()) == m_sSeparator.size();
        }
        ok = ok && std::fwrite("  \r\n", 1, 4, file.get()) == 4;
    }
    FILE* raw = file.release();
    ok = (std::fclose(raw) == 0) && ok;
    if (!ok)
        return false;
    m_sFileName = path;
    return true;
}

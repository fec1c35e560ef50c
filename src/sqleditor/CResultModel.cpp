#include "sqleditor/CResultModel.h"

#include <QColor>
#include <QPalette>

CResultModel::CResultModel(QObject* parent) : QAbstractTableModel(parent) {}

void CResultModel::Reset(const QStringList& titles)
{
    beginResetModel();
    m_titles = titles;
    // Swapped with empty ones so that a large result gives its memory back.
    std::string().swap(m_bytes);
    std::vector<std::uint64_t>().swap(m_cellEnds);
    std::vector<std::uint8_t>().swap(m_nulls);
    std::vector<std::uint64_t>().swap(m_rowStarts);
    m_bMoreRows = false;
    m_bFetching = false;
    endResetModel();
}

void CResultModel::AppendRows(CStringGrid& page)
{
    const int count = page.RowCount();
    if (count <= 0 || m_titles.isEmpty())
        return;
    const int columns = Columns();
    const int first = Rows();
    beginInsertRows(QModelIndex(), first, first + count - 1);
    for (int r = 0; r < count; ++r)
    {
        m_rowStarts.push_back(m_cellEnds.size());
        for (int c = 0; c < columns; ++c)
        {
            m_bytes += page.GetCellUnguarded(c, r);
            m_cellEnds.push_back(m_bytes.size());
            m_nulls.push_back(page.IsCellNull(c, r) ? 1 : 0);
        }
    }
    endInsertRows();
}

void CResultModel::SetMoreRows(bool more)
{
    m_bMoreRows = more;
}

size_t CResultModel::CellIndex(int row, int column) const
{
    return static_cast<size_t>(m_rowStarts[static_cast<size_t>(row)]) + static_cast<size_t>(column);
}

std::string CResultModel::Cell(int row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= Columns())
        return {};
    const size_t cell = CellIndex(row, column);
    const std::uint64_t begin = cell == 0 ? 0 : m_cellEnds[cell - 1];
    return m_bytes.substr(static_cast<size_t>(begin), static_cast<size_t>(m_cellEnds[cell] - begin));
}

bool CResultModel::IsNull(int row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= Columns())
        return false;
    return m_nulls[CellIndex(row, column)] != 0;
}

void CResultModel::CopyRows(const std::vector<int>& rows, CStringGrid& target) const
{
    const int columns = Columns();
    target.Clear();
    target.SetSize(columns, static_cast<int>(rows.size()));
    for (size_t i = 0; i < rows.size(); ++i)
        for (int c = 0; c < columns; ++c)
            target.SetCellMarked(c, static_cast<int>(i), Cell(rows[i], c),
                                 IsNull(rows[i], c) ? CStringGrid::MarkNull : CStringGrid::MarkNone);
}

int CResultModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Rows();
}

int CResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Columns();
}

QVariant CResultModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const bool null = IsNull(index.row(), index.column());
    switch (role)
    {
    case Qt::DisplayRole: return null ? m_sNullText : QString::fromUtf8(Cell(index.row(), index.column()));
    case Qt::ForegroundRole:
        if (null)
            return QPalette().color(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::UserRole: return null;
    default: return {};
    }
}

QVariant CResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= Columns())
        return {};
    if (role == Qt::DisplayRole)
        return m_titles[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

bool CResultModel::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_bMoreRows && !m_bFetching && m_fetchRequest != nullptr;
}

void CResultModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    m_bFetching = true;
    m_fetchRequest();
}

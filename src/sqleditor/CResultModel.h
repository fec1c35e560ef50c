#pragma once

#include "core/CStringGrid.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The rows of the SQL editor's result grid as they arrive page by page. The
// texts are kept packed (one byte buffer, an end offset and a NULL mark per
// cell), so that a grid of many rows costs little more than their bytes. A
// NULL shows as a greyed "<null>"; the values the commands use stay as they
// came (NULL is the empty text with its mark).
class CResultModel : public QAbstractTableModel
{
    Q_OBJECT

  public:
    explicit CResultModel(QObject* parent = nullptr);

    // A new result: its column titles, no rows yet.
    void Reset(const QStringList& titles);
    // Adds the rows of page (its columns in this model's order).
    void AppendRows(CStringGrid& page);
    // Whether the statement has rows that are not here yet.
    void SetMoreRows(bool more);
    bool HasMoreRows() const { return m_bMoreRows; }
    // Called by the view's fetchMore (the user scrolled to the end); the
    // rows come later with AppendRows.
    void SetFetchRequest(std::function<void()> request) { m_fetchRequest = std::move(request); }
    // While a page is on its way no further one is asked for.
    void SetFetching(bool fetching) { m_bFetching = fetching; }
    // The text shown for NULL.
    void SetNullText(const QString& text) { m_sNullText = text; }

    int Rows() const { return static_cast<int>(m_rowStarts.size()); }
    int Columns() const { return static_cast<int>(m_titles.size()); }
    std::string Cell(int row, int column) const;
    bool IsNull(int row, int column) const;
    // The given rows with their NULL marks, in the given order.
    void CopyRows(const std::vector<int>& rows, CStringGrid& target) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

  private:
    size_t CellIndex(int row, int column) const;

    QStringList m_titles;
    std::string m_bytes;
    // Per cell: where its text ends in m_bytes; per row: its first cell.
    std::vector<std::uint64_t> m_cellEnds;
    std::vector<std::uint8_t> m_nulls;
    std::vector<std::uint64_t> m_rowStarts;
    bool m_bMoreRows = false;
    bool m_bFetching = false;
    std::function<void()> m_fetchRequest;
    QString m_sNullText = QStringLiteral("<null>");
};

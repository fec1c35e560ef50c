#include "app/CRunResultsDlg.h"

#include "app/CDBCopyDlg.h"
#include "config/CLanguageCatalog.h"
#include "config/TextFormat.h"
#include "core/FileHelpers.h"
#include "core/NumberText.h"
#include "core/TextEncoding.h"
#include "ui/Artwork.h"
#include "ui/CDpiDC.h"
#include "ui/CFontSettings.h"
#include "ui/LinkFocus.h"
#include "ui/UiText.h"
#include "ui/WidgetNames.h"
#include "ui/WindowSizes.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace
{
using T = ELanguageText;

enum EColumn
{
    TableColumn,
    OutcomeColumn,
    RowsColumn,
    TimeColumn,
    ReasonColumn,
    ColumnCount
};

EListImage ImageOf(const STableOutcome& outcome)
{
    switch (outcome.status)
    {
    case ETableStatus::Copied:
    case ETableStatus::EmptySource: return EListImage::Success;
    case ETableStatus::Failed:
    case ETableStatus::Skipped: return EListImage::Failure;
    case ETableStatus::Stopped: break;
    }
    return EListImage::Warning;
}

// An aborted table was begun: it took time or wrote rows that went back.
bool WasAborted(const STableOutcome& outcome)
{
    return outcome.status == ETableStatus::Stopped && (outcome.rowsRolledBack > 0 || outcome.seconds > 0);
}

QString Link(const char* target, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>").arg(QString::fromLatin1(target), text.toHtmlEscaped());
}
} // namespace

CRunResultsDlg::CRunResultsDlg(const QString& languageFile, CFontSettings& font, const QString& summary,
                               const std::u16string& destination, const SCopyRunResult& result, const SFiles& files,
                               QWidget* parent)
    : QDialog(parent), m_sLanguageFile(languageFile.toStdU16String()), m_files(files)
{
    setObjectName(QStringLiteral("CRunResultsDlg"));
    setWindowIcon(ProgramIcon());
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    setWindowTitle(UiText(catalog, T::FrmResults_Caption));

    m_LBLSummary = Named(new QLabel(this), "m_LBLSummary");
    m_LBLSummary->setWordWrap(true);
    m_LBLSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QString head =
        summary + QStringLiteral("\n") +
        QString::fromStdString(FormatText(catalog.GetText(T::FrmResults_m_LBLDest), WideToUtf8(destination)));
    if (!files.keptCopy.empty())
        head += QStringLiteral("\n") +
                QString::fromStdString(FormatText(catalog.GetText(T::FrmCopy_m_acMDestKept), files.keptCopy));
    m_LBLSummary->setText(head);

    m_LISResults = Named(new QTreeWidget(this), "m_LISResults");
    m_LISResults->setRootIsDecorated(false);
    m_LISResults->setUniformRowHeights(true);
    m_LISResults->setSelectionMode(QAbstractItemView::SingleSelection);
    m_LISResults->setColumnCount(ColumnCount);
    m_LISResults->setHeaderLabels(
        {UiText(catalog, T::FrmResults_m_LISResults0), UiText(catalog, T::FrmResults_m_LISResults1),
         UiText(catalog, T::FrmResults_m_LISResults2), UiText(catalog, T::FrmResults_m_LISResults3),
         UiText(catalog, T::FrmResults_m_LISResults4)});
    const int imageSize = CDpiDC(this).ScaleToScreen(kListImageDesignSize);
    m_LISResults->setIconSize(QSize(imageSize, imageSize));

    m_LBLLogs = Named(new QLabel(this), "m_LBLLogs");
    m_LBLLogs->setTextFormat(Qt::RichText);
    m_LBLLogs->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    m_LBLLogs->setFocusPolicy(Qt::TabFocus);
    FocusLinksOnTab(m_LBLLogs);
    m_LBLLogs->setText(LogLinks());
    connect(m_LBLLogs, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == QLatin1String("run"))
            emit logRequested(m_files.runLog);
        else if (link == QLatin1String("sql"))
            emit logRequested(m_files.sqlLog);
        else if (link == QLatin1String("text"))
            emit logRequested(m_files.textLog);
    });

    m_BTNClose = Named(new QPushButton(UiText(catalog, T::FrmResults_m_BTNClose), this), "m_BTNClose");
    m_BTNClose->setDefault(true);
    connect(m_BTNClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_LBLLogs, 1);
    bottom->addWidget(m_BTNClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_LBLSummary);
    layout->addWidget(m_LISResults, 1);
    layout->addLayout(bottom);
    font.ApplyTo(this, true);

    FillTable(result);
    // Wide enough for every column, reasons included, as far as the screen allows.
    const CDpiDC dpi(this);
    // Measured from the texts: before the window is shown the view knows too little of its rows.
    const QFontMetrics metrics(m_LISResults->font());
    const int padding = 3 * metrics.averageCharWidth();
    int columns = m_LISResults->iconSize().width();
    for (int column = 0; column < ColumnCount; ++column)
    {
        int widest = metrics.horizontalAdvance(m_LISResults->headerItem()->text(column));
        for (int row = 0; row < m_LISResults->topLevelItemCount(); ++row)
            widest = std::max(widest, metrics.horizontalAdvance(m_LISResults->topLevelItem(row)->text(column)));
        columns += widest + padding;
    }
    int width = columns + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + dpi.ScaleToScreen(40);
    if (const QScreen* shown = screen())
        width = std::min(width, shown->availableGeometry().width() * 9 / 10);
    KeepWindowSize(this, QSize(std::max(width, dpi.ScaleToScreen(640)), dpi.ScaleToScreen(420)));
    setTabOrder(m_LISResults, m_LBLLogs);
    setTabOrder(m_LBLLogs, m_BTNClose);
}

QString CRunResultsDlg::OutcomeText(const STableOutcome& outcome, const std::u16string& languageFile)
{
    CLanguageCatalog catalog;
    catalog.Open(languageFile);
    T id = T::FrmResults_m_aMNotStarted;
    switch (outcome.status)
    {
    case ETableStatus::Copied: id = T::FrmResults_m_aMCopied; break;
    case ETableStatus::EmptySource: id = T::FrmResults_m_aMEmptySource; break;
    case ETableStatus::Failed: id = T::FrmResults_m_aMFailed; break;
    case ETableStatus::Skipped: id = T::FrmResults_m_aMSkipped; break;
    case ETableStatus::Stopped: id = WasAborted(outcome) ? T::FrmResults_m_aMAborted : T::FrmResults_m_aMNotStarted;
    }
    return UiText(catalog, id);
}

void CRunResultsDlg::FillTable(const SCopyRunResult& result)
{
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    const std::string thousands = WideToUtf8(catalog.GetText(T::FrmCopy_m_acMThousands));
    const int imageSize = m_LISResults->iconSize().width();
    for (const STableOutcome& outcome : result.tables)
    {
        QStringList reasons;
        if (outcome.rowsFailed > 0)
            reasons << QString::fromStdString(FormatText(catalog.GetText(T::FrmResults_m_aMRowsFailed),
                                                         GroupedNumber(outcome.rowsFailed, thousands)));
        if (outcome.rowsRolledBack > 0)
            reasons << QString::fromStdString(FormatText(catalog.GetText(T::FrmResults_m_aMRolledBack),
                                                         GroupedNumber(outcome.rowsRolledBack, thousands)));
        // An abort's reason is its outcome already.
        if (!outcome.error.empty() && outcome.status != ETableStatus::Copied && outcome.status != ETableStatus::Stopped)
            reasons << QString::fromStdString(outcome.error);
        const bool begun = outcome.status != ETableStatus::Stopped || WasAborted(outcome);
        auto* item = new QTreeWidgetItem(m_LISResults);
        item->setText(TableColumn, QString::fromStdString(outcome.table));
        item->setIcon(TableColumn, QIcon(ListImage(ImageOf(outcome), imageSize)));
        item->setText(OutcomeColumn, OutcomeText(outcome, m_sLanguageFile));
        item->setText(RowsColumn, begun ? QString::fromStdString(GroupedNumber(outcome.rowsWritten, thousands)) : "");
        item->setTextAlignment(RowsColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(TimeColumn, begun ? CDBCopyDlg::FormatElapsed(std::llround(outcome.seconds)) : QString());
        item->setText(ReasonColumn, reasons.join(QStringLiteral("; ")));
        // The whole reason, however narrow the column.
        item->setToolTip(ReasonColumn, item->text(ReasonColumn));
    }
    for (int column = 0; column < ColumnCount; ++column)
        m_LISResults->resizeColumnToContents(column);
}

QString CRunResultsDlg::LogLinks() const
{
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    QStringList links;
    // A run with logging off wrote no logs to link to.
    if (FileExists(m_files.runLog))
        links << Link("run", UiText(catalog, T::FrmMain_m_aMRunLog));
    if (FileExists(m_files.sqlLog))
        links << Link("sql", UiText(catalog, T::FrmResults_m_aMSqlLog));
    if (FileExists(m_files.textLog))
        links << Link("text", UiText(catalog, T::FrmResults_m_aMTextLog));
    return links.join(QStringLiteral(" &nbsp; "));
}

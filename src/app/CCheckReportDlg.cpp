#include "app/CCheckReportDlg.h"

#include "cli/CheckReportText.h"
#include "cli/LeftBehindText.h"
#include "config/CLanguageCatalog.h"
#include "ui/Artwork.h"
#include "ui/CDpiDC.h"
#include "ui/CFontSettings.h"
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

namespace
{
EListImage ImageOf(ECheckSeverity severity)
{
    switch (severity)
    {
    case ECheckSeverity::Fails: return EListImage::Failure;
    case ECheckSeverity::Warning: return EListImage::Warning;
    case ECheckSeverity::Fine: break;
    }
    return EListImage::Success;
}
} // namespace

CCheckReportDlg::CCheckReportDlg(const QString& languageFile, CFontSettings& font, QWidget* parent)
    : QDialog(parent), m_sLanguageFile(languageFile.toStdU16String())
{
    setObjectName(QStringLiteral("CCheckReportDlg"));
    setWindowIcon(ProgramIcon());
    m_LBLSummary = Named(new QLabel(this), "m_LBLSummary");
    m_LBLSummary->setWordWrap(true);
    m_LISReport = Named(new QTreeWidget(this), "m_LISReport");
    m_LISReport->setHeaderHidden(true);
    m_LISReport->setColumnCount(1);
    m_LISReport->setUniformRowHeights(true);
    m_LISReport->setSelectionMode(QAbstractItemView::SingleSelection);
    m_BTNCopy = Named(new QPushButton(this), "m_BTNCopy");
    m_BTNClose = Named(new QPushButton(this), "m_BTNClose");
    m_BTNCopy->setEnabled(false);
    m_BTNClose->setDefault(true);

    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    using T = ELanguageText;
    setWindowTitle(UiText(catalog, T::FrmCheck_Caption));
    m_BTNCopy->setText(UiText(catalog, T::FrmCheck_m_BTNCopy));
    m_BTNClose->setText(UiText(catalog, T::FrmCheck_m_BTNClose));
    m_LBLSummary->setText(UiText(catalog, T::FrmCheck_m_aMChecking));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_BTNCopy);
    buttons->addWidget(m_BTNClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_LBLSummary);
    layout->addWidget(m_LISReport, 1);
    layout->addLayout(buttons);
    font.ApplyTo(this, true);
    const CDpiDC dpi(this);
    m_bSizeRemembered = KeepWindowSize(this, QSize(dpi.ScaleToScreen(620), dpi.ScaleToScreen(420)));

    connect(m_BTNCopy, &QPushButton::clicked, this, &CCheckReportDlg::OnCopy);
    connect(m_BTNClose, &QPushButton::clicked, this, &QDialog::reject);
}

CCheckReportDlg::~CCheckReportDlg()
{
    // The check reads on to its end; its report then finds no window.
    if (m_worker.joinable())
        m_worker.join();
}

void CCheckReportDlg::Start(const SRunSettings& settings, const std::vector<std::string>& tables,
                            const std::vector<std::string>& unfinished,
                            const std::vector<CTriggerJournal::SEntry>& journal)
{
    if (m_worker.joinable())
        return;
    m_worker = std::thread([this, settings, tables, unfinished, journal] {
        SCheckReport report = CheckCopy(settings, tables);
        NoteUnfinishedTables(report, unfinished);
        report.leftBehind = FindLeftBehind(settings, journal);
        // Only the report crosses to the window's thread, and only while it
        // is there.
        QMetaObject::invokeMethod(
            this, [this, report = std::move(report)] { ShowReport(report); }, Qt::QueuedConnection);
    });
}

void CCheckReportDlg::ShowReport(const SCheckReport& report)
{
    m_report = report;
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    const std::vector<SCheckReportLine> lines = CheckReportLines(report, catalog);
    m_LISReport->clear();
    const int imageSize = CDpiDC(this).ScaleToScreen(kListImageDesignSize);
    m_LISReport->setIconSize(QSize(imageSize, imageSize));
    QTreeWidgetItem* table = nullptr;
    for (size_t i = 0; i < lines.size(); ++i)
    {
        const SCheckReportLine& line = lines[i];
        const QString text = QString::fromStdString(line.text);
        if (i == 0)
        {
            m_LBLSummary->setText(text);
            continue;
        }
        if (line.table)
        {
            table = new QTreeWidgetItem(m_LISReport, QStringList{text});
            table->setIcon(0, QIcon(ListImage(ImageOf(line.severity), imageSize)));
            continue;
        }
        auto* finding =
            new QTreeWidgetItem(table != nullptr ? table : m_LISReport->invisibleRootItem(), QStringList{text});
        if (line.severity != ECheckSeverity::Fine)
            finding->setIcon(0, QIcon(ListImage(ImageOf(line.severity), imageSize)));
    }
    // What interrupted copies left concerns the whole destination: said
    // before its tables.
    int first = 0;
    for (const std::string& text : LeftBehindTexts(report.leftBehind, catalog))
    {
        auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(text)});
        item->setIcon(0, QIcon(ListImage(EListImage::Warning, imageSize)));
        // Longer than a narrow screen is wide: the whole text on hover.
        item->setToolTip(0, item->text(0));
        m_LISReport->insertTopLevelItem(first++, item);
    }
    m_LISReport->expandAll();
    FitLongestLine();
    m_BTNCopy->setEnabled(report.checked);
    emit reportShown();
}

void CCheckReportDlg::FitLongestLine()
{
    // A size the user gave the window stays; the first time it widens until
    // its longest line fits, as far as the screen allows.
    if (m_bSizeRemembered)
        return;
    const QFontMetrics metrics(m_LISReport->font());
    const int imageSize = m_LISReport->iconSize().width();
    int widest = metrics.horizontalAdvance(m_LBLSummary->text());
    for (int row = 0; row < m_LISReport->topLevelItemCount(); ++row)
    {
        const QTreeWidgetItem* table = m_LISReport->topLevelItem(row);
        widest = std::max(widest, metrics.horizontalAdvance(table->text(0)) + imageSize);
        for (int child = 0; child < table->childCount(); ++child)
            widest = std::max(widest, m_LISReport->indentation() + imageSize +
                                          metrics.horizontalAdvance(table->child(child)->text(0)));
    }
    const int chrome = width() - m_LISReport->viewport()->width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                       4 * metrics.averageCharWidth();
    int wanted = widest + chrome;
    if (const QScreen* shown = screen())
        wanted = std::min(wanted, shown->availableGeometry().width() * 9 / 10);
    if (wanted > width())
        resize(wanted, height());
}

void CCheckReportDlg::OnCopy()
{
    m_bCopy = true;
    accept();
}

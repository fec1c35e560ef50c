#include "ui/CHelpDlg.h"

#include "ui/Artwork.h"
#include "ui/CFontSettings.h"
#include "ui/UiText.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

CHelpDlg::CHelpDlg(const QString& languageFile, CFontSettings& font, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CHelpDlg"));
    setWindowIcon(ProgramIcon());

    m_LBLHelp = new QPlainTextEdit(this);
    m_LBLHelp->setObjectName(QStringLiteral("m_LBLHelp"));
    m_LBLHelp->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_LBLHelp->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_LBLHelp->setLineWrapMode(QPlainTextEdit::WidgetWidth);

    m_BTNOk = new QPushButton(this);
    m_BTNOk->setObjectName(QStringLiteral("m_BTNOk"));
    m_BTNOk->setDefault(true);
    connect(m_BTNOk, &QPushButton::clicked, this, &QDialog::accept);

    CLanguageCatalog catalog;
    catalog.Open(languageFile.toStdU16String());
    setWindowTitle(UiText(catalog, ELanguageText::FrmHelp_Caption));
    m_LBLHelp->setPlainText(UiText(catalog, ELanguageText::FrmHelp_m_LBLHelp));
    m_BTNOk->setText(UiText(catalog, ELanguageText::FrmHelp_m_BTNOk));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_BTNOk);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_LBLHelp);
    layout->addLayout(buttons);

    font.ApplyTo(this, true);
    FitToText();
}

void CHelpDlg::FitToText()
{
    // Wide enough for the longest manual line in the applied font, so the
    // SQL samples are not broken, but never beyond the screen.
    const QFontMetrics metrics(m_LBLHelp->font());
    int widest = 0;
    const QStringList lines = m_LBLHelp->toPlainText().split(QLatin1Char('\n'));
    for (const QString& line : lines)
        widest = std::max(widest, metrics.horizontalAdvance(line));
    const int frame = 2 * m_LBLHelp->frameWidth() + 2 * static_cast<int>(m_LBLHelp->document()->documentMargin());
    const int textWidth = widest + frame + m_LBLHelp->verticalScrollBar()->sizeHint().width() + 4;
    const int textHeight = metrics.lineSpacing() * kVisibleLines + frame;
    const QMargins margins = layout()->contentsMargins();
    QSize size(textWidth + margins.left() + margins.right(),
               textHeight + layout()->spacing() + m_BTNOk->sizeHint().height() + margins.top() + margins.bottom());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    setFixedSize(size);
}

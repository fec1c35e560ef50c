#include "ui/CDisplayTextDlg.h"

#include "config/TextFormat.h"
#include "core/FileHelpers.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"
#include "ui/Artwork.h"
#include "ui/CFontSettings.h"
#include "ui/FixedFont.h"
#include "ui/UiText.h"
#include "ui/WindowSizes.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>

CDisplayTextDlg::CDisplayTextDlg(const QString& languageFile, CFontSettings& font, const QString& filePath,
                                 QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CDisplayTextDlg"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    setWindowIcon(ProgramIcon());

    const std::u16string path = filePath.toStdU16String();
    setWindowTitle(QString::fromStdU16String(GetFileNamePart(path)));

    m_EDTText = new QPlainTextEdit(this);
    m_EDTText->setObjectName(QStringLiteral("m_EDTText"));
    m_EDTText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_EDTText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_EDTText->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The window has no texts of its own: its OK is the program's OK.
    CLanguageCatalog catalog;
    catalog.Open(languageFile.toStdU16String());

    // A missing or unreadable file simply shows nothing. A log of hundreds
    // of megabytes would take seconds and gigabytes in the text box: its
    // last part is what a reader of a log wants, and a note says so.
    long long size = 0;
    std::string text = ReadFileTail(path, kShownBytes, size);
    if (size > kShownBytes)
    {
        const int megabytes = static_cast<int>((size + (1 << 20) - 1) >> 20);
        text = FormatText(catalog.GetText(ELanguageText::FrmText_m_sMLastPart), megabytes) + "\n\n" + text;
    }
    m_EDTText->setPlainText(QString::fromStdU16String(Utf8ToWide(text)));
    // A log is read from its end: the last entries are the news.
    m_EDTText->moveCursor(QTextCursor::End);
    m_BTNOk = new QPushButton(UiText(catalog, ELanguageText::FrmMain_m_aMBtnOk), this);
    m_BTNOk->setObjectName(QStringLiteral("m_BTNOk"));
    m_BTNOk->setDefault(true);
    connect(m_BTNOk, &QPushButton::clicked, this, &QDialog::accept);

    font.ApplyTo(this, true);

    m_EDTText->setFont(FixedPitchFont(m_EDTText->font()));

    m_BTNOk->adjustSize();
    KeepWindowSize(this, QSize(720, 480));
    ArrangeControls(width(), height());
}

void CDisplayTextDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only now has the box its size: the view goes to the end of the text.
    m_EDTText->ensureCursorVisible();
    m_EDTText->verticalScrollBar()->setValue(m_EDTText->verticalScrollBar()->maximum());
    m_EDTText->horizontalScrollBar()->setValue(0);
}

void CDisplayTextDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    ArrangeControls(event->size().width(), event->size().height());
}

void CDisplayTextDlg::ArrangeControls(int width, int height)
{
    if (width <= 0 || height <= 0 || m_EDTText == nullptr || m_BTNOk == nullptr)
        return;
    const QSize button = m_BTNOk->size();
    m_BTNOk->move((width - button.width()) / 2, height - button.height() - kGap);
    const QPoint topLeft = m_EDTText->pos();
    m_EDTText->setGeometry(topLeft.x(), topLeft.y(), std::max(0, width - topLeft.x()),
                           std::max(0, m_BTNOk->y() - kGap - topLeft.y()));
}

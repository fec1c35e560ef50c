#include "app/CAboutDlg.h"

#include "ui/Artwork.h"
#include "ui/CClickEdit.h"
#include "ui/CDpiDC.h"
#include "ui/CFontSettings.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
const char kNoticeLine[] = "Copies table contents from one Firebird database into another.";
const char kProductNote[] = "Table copy and SQL editor for Firebird databases.\nThis program is freeware.";
const QColor kLinkColour(0, 0, 255);
const QColor kNoteColour(155, 155, 155);
constexpr int kIconSize = 48;

QLabel* NamedLabel(QWidget* parent, const char* name, const QString& text = {})
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}
} // namespace

CAboutDlg::CAboutDlg(const QString& versionText, const QString& clientLibraryText, CFontSettings& font,
                     const QString& okText, const std::vector<SAboutLink>& makers,
                     const std::vector<SAboutLink>& translators, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowIcon(ProgramIcon());
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    m_PICIcon = NamedLabel(this, "m_PICIcon");
    m_PICIcon->setPixmap(ProgramIcon().pixmap(kIconSize, kIconSize));
    m_PICPicture = NamedLabel(this, "m_PICPicture");
    const QSize pictureSize = PictureDesignSize(EPicture::About);
    m_PICPicture->setFixedSize(pictureSize);
    m_PICPicture->setPixmap(Picture(EPicture::About, pictureSize));

    m_LBLProduct = NamedLabel(this, "m_LBLProduct", QString::fromLatin1(kProductName));
    m_LBLVersion = NamedLabel(this, "m_LBLVersion", versionText);
    m_LBLNotice = NamedLabel(this, "m_LBLNotice", QString::fromLatin1(kNoticeLine));
    m_EDTClientLibrary =
        AddLink(QStringLiteral("m_EDTClientLibrary"), {{}, clientLibraryText, QString::fromLatin1(kFirebirdSite)});
    m_LBLProductNote = NamedLabel(this, "m_LBLProductNote", QString::fromLatin1(kProductNote));
    QPalette note = m_LBLProductNote->palette();
    note.setColor(QPalette::WindowText, kNoteColour);
    m_LBLProductNote->setPalette(note);

    m_BTNOk = new QPushButton(okText, this);
    m_BTNOk->setObjectName(QStringLiteral("m_BTNOk"));
    m_BTNOk->setDefault(true);
    connect(m_BTNOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(m_LBLProduct);
    text->addWidget(m_LBLVersion);
    text->addSpacing(6);
    text->addWidget(m_LBLNotice);
    text->addWidget(m_EDTClientLibrary);
    text->addSpacing(6);
    text->addWidget(m_LBLProductNote);

    // Maker and translator rows appear only for entries really given.
    if (!makers.empty() || !translators.empty())
    {
        auto* rows = new QGridLayout;
        rows->setHorizontalSpacing(8);
        rows->setVerticalSpacing(2);
        int row = 0;
        int index = 0;
        for (const SAboutLink& link : makers)
            rows->addWidget(AddLink(QStringLiteral("m_EDTMaker%1").arg(index++), link), row++, 0, 1, 2);
        index = 0;
        for (const SAboutLink& link : translators)
        {
            QLabel* label = NamedLabel(this, "", link.sLabel);
            label->setObjectName(QStringLiteral("m_LBLTranslator%1").arg(index));
            rows->addWidget(label, row, 0);
            rows->addWidget(AddLink(QStringLiteral("m_EDTTranslator%1").arg(index++), link), row++, 1);
        }
        rows->setColumnStretch(1, 1);
        text->addSpacing(6);
        text->addLayout(rows);
    }

    auto* pictures = new QVBoxLayout;
    pictures->addWidget(m_PICIcon, 0, Qt::AlignHCenter);
    pictures->addSpacing(8);
    pictures->addWidget(m_PICPicture, 0, Qt::AlignHCenter);
    pictures->addStretch();

    auto* body = new QHBoxLayout;
    body->setSpacing(18);
    body->addLayout(pictures);
    body->addLayout(text, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_BTNOk);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 12);
    layout->addLayout(body);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Larger on finer screens, in proportion; the icon follows the style.
    CDpiDC(this).ResizeControl(m_PICPicture, this, false, -1, -1, true);
    if (m_PICPicture->size() != pictureSize)
    {
        m_PICPicture->setFixedSize(m_PICPicture->size());
        m_PICPicture->setPixmap(Picture(EPicture::About, m_PICPicture->size()));
    }

    // The dialog keeps its own text height; the product name is the user's
    // font in bold.
    font.ApplyTo(this, false);
    QFont bold;
    font.CopyCurrentFont(bold);
    bold.setWeight(QFont::Bold);
    m_LBLProduct->setFont(bold);
    SetLinkWidths();
}

CClickEdit* CAboutDlg::AddLink(const QString& objectName, const SAboutLink& link)
{
    auto* edit = new CClickEdit(this);
    edit->setObjectName(objectName);
    edit->setText(link.sText);
    edit->SetLinkTarget(link.sTarget);
    edit->setCursorPosition(0);
    // A line edit keeps a small inner margin; links line up with the labels.
    edit->setTextMargins(-2, 0, 0, 0);
    QPalette colours = edit->palette();
    colours.setColor(QPalette::Text, kLinkColour);
    colours.setColor(QPalette::Base, Qt::white);
    edit->setPalette(colours);
    edit->setToolTip(link.sTarget);
    m_links.push_back(edit);
    return edit;
}

void CAboutDlg::SetLinkWidths()
{
    // A line edit asks for a fixed width; a link is as wide as its text.
    for (CClickEdit* edit : m_links)
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(edit->text()) + 12);
}

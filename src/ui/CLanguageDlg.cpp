#include "ui/CLanguageDlg.h"

#include "config/CProfileFile.h"
#include "core/FileHelpers.h"
#include "core/TextEncoding.h"
#include "ui/Artwork.h"
#include "ui/CFontSettings.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CLanguageDlg::CLanguageDlg(const std::u16string& currentFile, const std::u16string& currentName,
                           const std::u16string& languageListFile, const std::u16string& languageFolder,
                           std::u16string& resultFile, std::u16string& resultName, CFontSettings& font, QWidget* parent)
    : QDialog(parent), m_sResultFile(resultFile), m_sResultName(resultName), m_sHighlightedFile(currentFile),
      m_sHighlightedName(currentName)
{
    setObjectName(QStringLiteral("CLanguageDlg"));
    setWindowIcon(ProgramIcon());

    m_LBLCurrentLanguage = new QLabel(this);
    m_LBLCurrentLanguage->setObjectName(QStringLiteral("m_LBLCurrentLanguage"));
    m_CMBLanguage = new QComboBox(this);
    m_CMBLanguage->setObjectName(QStringLiteral("m_CMBLanguage"));
    m_CMBLanguage->setEditable(false);
    m_CMBLanguage->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_CMBLanguage->setMinimumContentsLength(16);
    m_LBLCurrentLanguage->setBuddy(m_CMBLanguage);
    m_BTNOk = new QPushButton(this);
    m_BTNOk->setObjectName(QStringLiteral("m_BTNOk"));
    m_BTNOk->setDefault(true);
    m_BTNCancel = new QPushButton(this);
    m_BTNCancel->setObjectName(QStringLiteral("m_BTNCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_BTNOk);
    buttons->addWidget(m_BTNCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_LBLCurrentLanguage);
    layout->addWidget(m_CMBLanguage);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FillList(languageListFile, languageFolder);
    m_CMBLanguage->setCurrentIndex(m_nCurrentIndex);
    // OK returns the entry the user sees: where the language in use is not
    // in the list, or the built-in entry gave way to the list's own English,
    // the shown entry becomes the highlighted one.
    if (m_nCurrentIndex < static_cast<int>(m_languageFiles.size()) &&
        m_languageFiles[m_nCurrentIndex] != m_sHighlightedFile)
    {
        m_sHighlightedFile = m_languageFiles[m_nCurrentIndex];
        m_sHighlightedName = m_CMBLanguage->currentText().toStdU16String();
    }
    // The font first: the texts measure the caption in it.
    font.ApplyTo(this, true);
    SetTexts();

    connect(m_CMBLanguage, &QComboBox::currentIndexChanged, this, &CLanguageDlg::OnSelectionChanged);
    connect(m_BTNOk, &QPushButton::clicked, this, &CLanguageDlg::accept);
    connect(m_BTNCancel, &QPushButton::clicked, this, &CLanguageDlg::reject);
}

void CLanguageDlg::FillList(const std::u16string& languageListFile, const std::u16string& languageFolder)
{
    m_CMBLanguage->clear();
    m_CMBLanguage->addItem(QString::fromLatin1(kBuiltInName));
    m_languageFiles.assign(1, std::u16string());
    m_nCurrentIndex = 0;
    int builtInIndex = 0;
    int listedEnglishIndex = -1;

    CProfileFile list(false);
    if (!list.Load(languageListFile))
        return;
    std::string name = list.GetString("LanguageName", "");
    std::string file = list.GetString("LanguageFile", "");
    while (!name.empty() && !file.empty())
    {
        const int index = m_CMBLanguage->count();
        if (name == kBuiltInName && listedEnglishIndex < 0)
            listedEnglishIndex = index;
        m_CMBLanguage->addItem(QString::fromStdU16String(Utf8ToWide(name)));
        const std::u16string path = languageFolder + Utf8ToWide(file);
        if (path == m_sResultFile)
            m_nCurrentIndex = index;
        m_languageFiles.push_back(path);
        name = list.GetNextString("LanguageName");
        file = list.GetNextString("LanguageFile");
    }
    if (listedEnglishIndex < 0)
        return;
    // The list's own English replaces the built-in one; a user of the
    // built-in English now finds himself on the listed English entry.
    const bool onBuiltIn = m_nCurrentIndex == builtInIndex;
    m_CMBLanguage->removeItem(builtInIndex);
    m_languageFiles.erase(m_languageFiles.begin());
    m_nCurrentIndex = onBuiltIn ? listedEnglishIndex - 1 : m_nCurrentIndex - 1;
}

void CLanguageDlg::SetTexts()
{
    CLanguageCatalog catalog;
    // A listed language whose file is missing shows the English texts.
    catalog.Open(FileExists(m_sHighlightedFile) ? m_sHighlightedFile : std::u16string());
    setWindowTitle(UiText(catalog, ELanguageText::FrmLanguage_Caption));
    m_LBLCurrentLanguage->setText(UiText(catalog, ELanguageText::FrmLanguage_m_LBLCurrentLanguage));
    m_BTNOk->setText(UiText(catalog, ELanguageText::FrmLanguage_m_BTNOk));
    m_BTNCancel->setText(UiText(catalog, ELanguageText::FrmLanguage_m_BTNCancel));
    // The window is as wide as its list; a longer caption must fit beside
    // the window's icon and buttons too.
    const int captionWidth = fontMetrics().horizontalAdvance(windowTitle()) + kCaptionDecorationWidth;
    const QMargins margins = layout()->contentsMargins();
    m_CMBLanguage->setMinimumWidth(std::max(0, captionWidth - margins.left() - margins.right()));
}

void CLanguageDlg::OnSelectionChanged(int index)
{
    if (index < 0 || index >= static_cast<int>(m_languageFiles.size()))
        return;
    m_sHighlightedFile = m_languageFiles[index];
    m_sHighlightedName = m_CMBLanguage->itemText(index).toStdU16String();
    SetTexts();
}

void CLanguageDlg::accept()
{
    m_sResultFile = m_sHighlightedFile;
    m_sResultName = m_sHighlightedName;
    QDialog::accept();
}

#include "ui/COptionsDlg.h"

#include "core/CStringGrid.h"
#include "ui/Artwork.h"
#include "ui/CFontSettings.h"
#include "ui/FontDialog.h"
#include "ui/UiText.h"
#include "ui/WidgetNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <climits>

namespace
{
// The first entry, empty, copies such text as its bytes stand.
QStringList LegacyCodePages()
{
    return {QString(),
            QStringLiteral("WIN1252"),
            QStringLiteral("WIN1250"),
            QStringLiteral("WIN1251"),
            QStringLiteral("WIN1253"),
            QStringLiteral("WIN1254"),
            QStringLiteral("WIN1257"),
            QStringLiteral("ISO8859_1"),
            QStringLiteral("ISO8859_2"),
            QStringLiteral("ISO8859_15"),
            QStringLiteral("DOS437"),
            QStringLiteral("DOS850"),
            QStringLiteral("DOS852"),
            QStringLiteral("DOS866"),
            QStringLiteral("KOI8R")};
}
} // namespace

COptionsDlg::COptionsDlg(const QString& languageFile, CFontSettings& font, bool& doBackups, bool& doLogs,
                         std::u16string& defUser, std::u16string& defPass, int& retries, bool& recentDBs,
                         CStringGrid& recentList, bool& extendDBName, std::u16string& sourceCharset, bool& verify,
                         QWidget* parent)
    : QDialog(parent), m_font(font), m_bDoBackups(doBackups), m_bDoLogs(doLogs), m_sDefUser(defUser),
      m_sDefPass(defPass), m_nRetries(retries), m_bRecentDBs(recentDBs), m_RecentDBs(recentList),
      m_bExtendDBName(extendDBName), m_sSourceCharset(sourceCharset), m_bVerify(verify)
{
    setObjectName(QStringLiteral("COptionsDlg"));
    setWindowIcon(ProgramIcon());

    m_CHKDoBackups = Named(new QCheckBox(this), "m_CHKDoBackups");
    m_CHKDoLogs = Named(new QCheckBox(this), "m_CHKDoLogs");
    m_CHKVerify = Named(new QCheckBox(this), "m_CHKVerify");
    m_CHKAskBeforeCopy = Named(new QCheckBox(this), "m_CHKAskBeforeCopy");
    m_CHKAskBeforeCopy->setChecked(true);
    m_CHKAskBeforeCopy->setEnabled(false);
    m_CHKWayBack = Named(new QCheckBox(this), "m_CHKWayBack");
    m_CHKWayBack->setChecked(true);
    m_CHKWayBack->setEnabled(false);
    m_LBLBackupDir = Named(new QLabel(this), "m_LBLBackupDir");
    m_EDTBackupDir = Named(new QLineEdit(this), "m_EDTBackupDir");
    m_LBLLogDir = Named(new QLabel(this), "m_LBLLogDir");
    m_EDTLogDir = Named(new QLineEdit(this), "m_EDTLogDir");
    m_EDTBackupDir->setEnabled(false);
    m_EDTLogDir->setEnabled(false);
    m_LBLBackupDir->setBuddy(m_EDTBackupDir);
    m_LBLLogDir->setBuddy(m_EDTLogDir);
    m_LBLDefUser = Named(new QLabel(this), "m_LBLDefUser");
    m_EDTDefUser = Named(new QLineEdit(this), "m_EDTDefUser");
    m_LBLDefPass = Named(new QLabel(this), "m_LBLDefPass");
    m_EDTDefPass = Named(new QLineEdit(this), "m_EDTDefPass");
    // Shown on a screen others may see or share: masked like every password box.
    m_EDTDefPass->setEchoMode(QLineEdit::Password);
    m_LBLRetries = Named(new QLabel(this), "m_LBLRetries");
    m_EDTRetries = Named(new QLineEdit(this), "m_EDTRetries");
    m_CHKRecentDBs = Named(new QCheckBox(this), "m_CHKRecentDBs");
    m_BTNRecentDBs = Named(new QPushButton(this), "m_BTNRecentDBs");
    m_CHKExtendDBName = Named(new QCheckBox(this), "m_CHKExtendDBName");
    m_LBLSourceCharset = Named(new QLabel(this), "m_LBLSourceCharset");
    m_CBOSourceCharset = Named(new QComboBox(this), "m_CBOSourceCharset");
    m_LBLFont = Named(new QLabel(this), "m_LBLFont");
    m_BTNFont = Named(new QPushButton(this), "m_BTNFont");
    m_BTNFontReset = Named(new QPushButton(QString::fromLatin1(kResetFontText), this), "m_BTNFontReset");
    m_BTNOk = Named(new QPushButton(this), "m_BTNOk");
    m_BTNCancel = Named(new QPushButton(this), "m_BTNCancel");
    m_BTNOk->setDefault(true);
    m_LBLDefUser->setBuddy(m_EDTDefUser);
    m_LBLDefPass->setBuddy(m_EDTDefPass);
    m_LBLRetries->setBuddy(m_EDTRetries);
    m_LBLSourceCharset->setBuddy(m_CBOSourceCharset);
    // Any character set of the server may be typed; the list holds the code
    // pages that old databases are usually written in.
    m_CBOSourceCharset->setEditable(true);
    m_CBOSourceCharset->addItems(LegacyCodePages());
    m_CBOSourceCharset->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[A-Za-z0-9_]{0,63}")), m_CBOSourceCharset));

    SetTexts(languageFile);
    BuildLayout();

    m_CHKDoBackups->setChecked(m_bDoBackups);
    m_CHKDoLogs->setChecked(m_bDoLogs);
    m_CHKVerify->setChecked(m_bVerify);
    m_EDTDefUser->setText(QString::fromStdU16String(m_sDefUser));
    m_EDTDefPass->setText(QString::fromStdU16String(m_sDefPass));
    m_EDTRetries->setText(QString::number(m_nRetries));
    m_CHKRecentDBs->setChecked(m_bRecentDBs);
    m_CHKExtendDBName->setChecked(m_bExtendDBName);
    m_CBOSourceCharset->setCurrentText(QString::fromStdU16String(m_sSourceCharset));
    m_BTNFont->setText(QString::fromStdU16String(m_font.GetFaceName()));

    m_pTemplateFontOwner = std::make_unique<QWidget>();
    m_pTemplateFontOwner->setFont(m_font.BuiltInFont().font);
    m_pWorkFont = std::make_unique<CFontSettings>(m_pTemplateFontOwner.get());
    m_font.CopySettingsTo(*m_pWorkFont);
    ApplyWorkingFont();

    connect(m_BTNFont, &QPushButton::clicked, this, &COptionsDlg::OnFont);
    connect(m_BTNFontReset, &QPushButton::clicked, this, &COptionsDlg::OnResetFont);
    connect(m_BTNRecentDBs, &QPushButton::clicked, this, &COptionsDlg::OnClearRecent);
    connect(m_BTNOk, &QPushButton::clicked, this, &COptionsDlg::accept);
    connect(m_BTNCancel, &QPushButton::clicked, this, &COptionsDlg::reject);
}

COptionsDlg::~COptionsDlg() = default;

void COptionsDlg::SetTexts(const QString& languageFile)
{
    CLanguageCatalog catalog;
    catalog.Open(languageFile.toStdU16String());
    setWindowTitle(UiText(catalog, ELanguageText::FrmOpt_Caption));
    m_CHKDoBackups->setText(UiText(catalog, ELanguageText::FrmOpt_m_CHKDoBackups));
    m_CHKDoLogs->setText(UiText(catalog, ELanguageText::FrmOpt_m_CHKDoLogs));
    m_CHKVerify->setText(UiText(catalog, ELanguageText::FrmOpt_m_CHKVerify));
    m_CHKAskBeforeCopy->setText(UiText(catalog, ELanguageText::FrmOpt_m_CHKAskBeforeCopy));
    m_CHKWayBack->setText(UiText(catalog, ELanguageText::FrmOpt_m_CHKWayBack));
    m_LBLBackupDir->setText(UiText(catalog, ELanguageText::FrmOpt_m_LBLBackupDir));
    m_LBLLogDir->setText(UiText(catalog, ELanguageText::FrmOpt_m_LBLLogDir));
    m_EDTBackupDir->setPlaceholderText(UiText(catalog, ELanguageText::FrmOpt_m_aMFolderDefault));
    m_EDTLogDir->setPlaceholderText(UiText(catalog, ELanguageText::FrmOpt_m_aMFolderDefault));
    m_LBLDefUser->setText(UiText(catalog, ELanguageText::FrmOpt_m_LBLDefUser));
    m_LBLDefPass->setText(UiText(catalog, ELanguageText::FrmOpt_m_LBLDefPass));
    m_LBLRetries->setText(UiText(catalog, ELanguageText::FrmOpt_m_LBLRetries));
    m_CHKRecentDBs->setText(UiText(catalog, ELanguageText::FrmOpt_m_CHKRecentDBs));
    m_BTNRecentDBs->setText(UiText(catalog, ELanguageText::FrmOpt_m_BTNRecentDBs));
    m_CHKExtendDBName->setText(UiText(catalog, ELanguageText::FrmOpt_m_CHKExtendDBName));
    m_LBLSourceCharset->setText(UiText(catalog, ELanguageText::FrmOpt_m_LBLSourceCharset));
    m_LBLFont->setText(UiText(catalog, ELanguageText::FrmOpt_m_LBLFont));
    m_BTNOk->setText(UiText(catalog, ELanguageText::FrmOpt_m_BTNOk));
    m_BTNCancel->setText(UiText(catalog, ELanguageText::FrmOpt_m_BTNCancel));
}

void COptionsDlg::BuildLayout()
{
    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    grid->addWidget(m_CHKDoBackups, row++, 0, 1, 2);
    grid->addWidget(m_CHKDoLogs, row++, 0, 1, 2);
    grid->addWidget(m_CHKVerify, row++, 0, 1, 2);
    grid->addWidget(m_CHKAskBeforeCopy, row++, 0, 1, 2);
    grid->addWidget(m_CHKWayBack, row++, 0, 1, 2);
    grid->addWidget(m_LBLBackupDir, row, 0);
    grid->addWidget(m_EDTBackupDir, row++, 1);
    grid->addWidget(m_LBLLogDir, row, 0);
    grid->addWidget(m_EDTLogDir, row++, 1);
    grid->addWidget(m_LBLDefUser, row, 0);
    grid->addWidget(m_EDTDefUser, row++, 1);
    grid->addWidget(m_LBLDefPass, row, 0);
    grid->addWidget(m_EDTDefPass, row++, 1);
    grid->addWidget(m_LBLRetries, row, 0);
    auto* retries = new QHBoxLayout;
    retries->addWidget(m_EDTRetries);
    retries->addStretch();
    grid->addLayout(retries, row++, 1);
    grid->addWidget(m_CHKRecentDBs, row, 0);
    auto* recent = new QHBoxLayout;
    recent->addWidget(m_BTNRecentDBs);
    recent->addStretch();
    grid->addLayout(recent, row++, 1);
    grid->addWidget(m_CHKExtendDBName, row++, 0, 1, 2);
    grid->addWidget(m_LBLSourceCharset, row, 0);
    grid->addWidget(m_CBOSourceCharset, row++, 1);
    grid->addWidget(m_LBLFont, row, 0);
    auto* font = new QHBoxLayout;
    font->addWidget(m_BTNFont, 1);
    font->addWidget(m_BTNFontReset);
    grid->addLayout(font, row++, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_BTNOk);
    buttons->addWidget(m_BTNCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_EDTRetries->setMaxLength(4095);
    // Room for four digits and a sign: the count is at most 1000.
    m_EDTRetries->setFixedWidth(m_EDTRetries->fontMetrics().horizontalAdvance(QStringLiteral("-00000")) + 12);
    m_EDTDefUser->setMinimumWidth(180);
}

int COptionsDlg::RetriesFromText(const QString& text)
{
    // Like the C library's atoi, but a number too large for an int counts as
    // out of range instead of wrapping into it.
    const QString limited = text.left(4095);
    qsizetype i = 0;
    while (i < limited.size() && limited[i].isSpace())
        ++i;
    bool negative = false;
    if (i < limited.size() && (limited[i] == QLatin1Char('+') || limited[i] == QLatin1Char('-')))
        negative = limited[i++] == QLatin1Char('-');
    long long value = 0;
    for (; i < limited.size() && limited[i] >= QLatin1Char('0') && limited[i] <= QLatin1Char('9'); ++i)
    {
        value = value * 10 + (limited[i].unicode() - u'0');
        if (value > INT_MAX)
            return kDefaultRetries;
    }
    if (negative)
        value = -value;
    if (value < kMinRetries || value > kMaxRetries)
        return kDefaultRetries;
    return static_cast<int>(value);
}

void COptionsDlg::ApplyWorkingFont()
{
    m_pWorkFont->ApplyTo(this, true);
    // "<" needs no push button's usual width: a square in the current font.
    m_BTNFontReset->setFixedWidth(
        std::max(m_BTNFontReset->sizeHint().height(),
                 m_BTNFontReset->fontMetrics().horizontalAdvance(m_BTNFontReset->text()) + 16));
    update();
}

void COptionsDlg::OnFont()
{
    QFont initial;
    m_pWorkFont->CopyCurrentFont(initial);
    const std::optional<QFont> chosen = ChooseFont(this, initial);
    if (!chosen.has_value())
        return;
    m_pWorkFont->SetUseFontHeight(CFontSettings::HeightOf(*chosen) != m_font.GetBuiltInHeight());
    m_pWorkFont->SetFromChosenFont(*chosen);
    m_BTNFont->setText(chosen->family());
    ApplyWorkingFont();
}

void COptionsDlg::OnResetFont()
{
    m_pWorkFont->SetUseFontHeight(false);
    m_pWorkFont->Build();
    m_BTNFont->setText(QString::fromStdU16String(m_pWorkFont->GetFaceName()));
    ApplyWorkingFont();
}

void COptionsDlg::OnClearRecent()
{
    for (int row = 0; row < kRecentCount; ++row)
        m_RecentDBs.SetCell(0, row, std::string());
}

void COptionsDlg::accept()
{
    if (m_pWorkFont == nullptr)
        return;
    m_bDoBackups = m_CHKDoBackups->isChecked();
    m_bDoLogs = m_CHKDoLogs->isChecked();
    m_bVerify = m_CHKVerify->isChecked();
    if (m_pAskBeforeCopy != nullptr)
        *m_pAskBeforeCopy = m_CHKAskBeforeCopy->isChecked();
    if (m_pWayBack != nullptr)
    {
        *m_pWayBack = m_CHKWayBack->isChecked();
        *m_pBackupDir = m_EDTBackupDir->text().trimmed().toStdU16String();
        *m_pLogDir = m_EDTLogDir->text().trimmed().toStdU16String();
    }
    m_sDefUser = m_EDTDefUser->text().toStdU16String();
    if (m_sDefUser.empty())
        m_sDefUser = kDefaultUser;
    m_sDefPass = m_EDTDefPass->text().toStdU16String();
    if (m_sDefPass.empty())
        m_sDefPass = kDefaultPassword;
    m_nRetries = RetriesFromText(m_EDTRetries->text());
    m_bRecentDBs = m_CHKRecentDBs->isChecked();
    m_bExtendDBName = m_CHKExtendDBName->isChecked();
    m_sSourceCharset = m_CBOSourceCharset->currentText().trimmed().toUpper().toStdU16String();
    m_pWorkFont->CopySettingsTo(m_font);
    m_pWorkFont.reset();
    QDialog::accept();
}

void COptionsDlg::reject()
{
    m_pWorkFont.reset();
    QDialog::reject();
}

void COptionsDlg::EditAskBeforeCopy(bool& askBeforeCopy)
{
    m_pAskBeforeCopy = &askBeforeCopy;
    m_CHKAskBeforeCopy->setChecked(askBeforeCopy);
    m_CHKAskBeforeCopy->setEnabled(true);
}

void COptionsDlg::EditCopyPlaces(bool& wayBack, std::u16string& backupDir, std::u16string& logDir)
{
    m_pWayBack = &wayBack;
    m_pBackupDir = &backupDir;
    m_pLogDir = &logDir;
    m_CHKWayBack->setChecked(wayBack);
    m_CHKWayBack->setEnabled(true);
    m_EDTBackupDir->setText(QString::fromStdU16String(backupDir));
    m_EDTLogDir->setText(QString::fromStdU16String(logDir));
    m_EDTBackupDir->setEnabled(true);
    m_EDTLogDir->setEnabled(true);
}

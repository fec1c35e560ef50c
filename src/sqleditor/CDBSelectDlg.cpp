#include "sqleditor/CDBSelectDlg.h"

#include "config/CLanguageCatalog.h"
#include "core/PathHelpers.h"
#include "core/TextEncoding.h"
#include "ui/Artwork.h"
#include "ui/CDpiDC.h"
#include "ui/CFontSettings.h"
#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"
#include "ui/UiText.h"
#include "ui/WidgetNames.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace
{
constexpr int kBoxWidth = 320;
constexpr int kPanelMargin = 12;

QString& ServerPrefixSetting()
{
    static QString prefix = QStringLiteral("localhost:");
    return prefix;
}

// The recent list's box. Stepping through the entries with the arrow keys or
// the wheel also reports them as chosen; only a choice from the opened list
// is a use that moves the entry to the top, otherwise stepping down would
// keep swapping the first two entries.
class CRecentComboBox : public QComboBox
{
  public:
    using QComboBox::QComboBox;

    bool IsStepping() const { return m_bStepping; }

  protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        m_bStepping = true;
        QComboBox::keyPressEvent(event);
        m_bStepping = false;
    }
    void wheelEvent(QWheelEvent* event) override
    {
        m_bStepping = true;
        QComboBox::wheelEvent(event);
        m_bStepping = false;
    }

  private:
    bool m_bStepping = false;
};
} // namespace

CDBSelectDlg::CDBSelectDlg(SSelectDatabaseArgs& args, QWidget* parent, ERole role)
    : QDialog(parent), m_args(args), m_eRole(role)
{
    setObjectName(QStringLiteral("CDBSelectDlg"));
    setWindowIcon(ProgramIcon());
    CreateControls();
    BuildLayout();

    m_CMBDBName->setEditText(QString::fromStdU16String(m_args.database));
    m_EDTDBUser->setText(QString::fromStdU16String(m_args.user));
    m_EDTDBPass->setText(QString::fromStdU16String(m_args.password));
    if (m_args.rememberRecent)
        LoadRecent();
    if (m_EDTDBUser->text().isEmpty())
        m_EDTDBUser->setText(QString::fromStdU16String(kDefaultUser));
    if (m_EDTDBPass->text().isEmpty())
        m_EDTDBPass->setText(QString::fromStdU16String(kDefaultPassword));
    m_BTNSQLEditor->setVisible(m_args.showSqlEditorButton);
    SetTexts();
    if (m_args.database.empty())
        OnBrowse();
    m_args.font.ApplyTo(this, true);
    FitSidePicture();

    connect(m_BTNBrowse, &QPushButton::clicked, this, &CDBSelectDlg::OnBrowse);
    connect(m_BTNSQLEditor, &QPushButton::clicked, this, &CDBSelectDlg::OnSqlEditor);
    connect(m_BTNOk, &QPushButton::clicked, this, [this] {
        if (Validate())
            accept();
    });
    connect(m_BTNCancel, &QPushButton::clicked, this, &CDBSelectDlg::reject);
    connect(m_CMBDBName, &QComboBox::activated, this, &CDBSelectDlg::OnRecentChosen);
}

CDBSelectDlg::~CDBSelectDlg()
{
    WriteBack(result() == QDialog::Accepted);
}

bool CDBSelectDlg::Run(QWidget* parent, SSelectDatabaseArgs& args)
{
    return RunFor(parent, args, ERole::Any);
}

bool CDBSelectDlg::RunFor(QWidget* parent, SSelectDatabaseArgs& args, ERole role)
{
    CDBSelectDlg dialog(args, parent, role);
    return dialog.exec() == QDialog::Accepted;
}

QString CDBSelectDlg::ServerPrefix()
{
    return ServerPrefixSetting();
}

void CDBSelectDlg::SetServerPrefix(const QString& prefix)
{
    ServerPrefixSetting() = prefix.isEmpty() ? QStringLiteral("localhost:") : prefix;
}

QString CDBSelectDlg::ExtendedDatabaseName(const QString& path)
{
    static const QRegularExpression windowsPath(QStringLiteral("^[A-Za-z]:\\\\"));
    QString name = path;
    if (windowsPath.match(path).hasMatch())
        name.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return ServerPrefix() + name;
}

void CDBSelectDlg::CreateControls()
{
    m_PICPanel = Named(new QWidget(this), "m_PICPanel");
    m_PICPanel->setAutoFillBackground(true);
    QPalette white = m_PICPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_PICPanel->setPalette(white);

    m_PICDatabase = Named(new QLabel(m_PICPanel), "m_PICDatabase");
    m_LBLDBName = Named(new QLabel(m_PICPanel), "m_LBLDBName");
    auto* combo = new CRecentComboBox(m_PICPanel);
    m_CMBDBName = Named<QComboBox>(combo, "m_CMBDBName");
    m_CMBDBName->setEditable(true);
    // Typed names are not remembered: only a file chosen by Browse joins the list.
    m_CMBDBName->setInsertPolicy(QComboBox::NoInsert);
    m_CMBDBName->setDuplicatesEnabled(true);
    m_CMBDBName->setMinimumContentsLength(24);
    m_CMBDBName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_BTNBrowse = Named(new QPushButton(m_PICPanel), "m_BTNBrowse");
    m_BTNBrowse->setAutoDefault(false);
    m_LBLDBUser = Named(new QLabel(m_PICPanel), "m_LBLDBUser");
    m_EDTDBUser = Named(new QLineEdit(m_PICPanel), "m_EDTDBUser");
    m_LBLDBPass = Named(new QLabel(m_PICPanel), "m_LBLDBPass");
    m_EDTDBPass = Named(new QLineEdit(m_PICPanel), "m_EDTDBPass");
    m_EDTDBPass->setEchoMode(QLineEdit::Password);
    m_LBLDBName->setBuddy(m_CMBDBName);
    m_LBLDBUser->setBuddy(m_EDTDBUser);
    m_LBLDBPass->setBuddy(m_EDTDBPass);

    m_BTNSQLEditor = Named(new QPushButton(this), "m_BTNSQLEditor");
    m_BTNSQLEditor->setAutoDefault(false);
    m_BTNOk = Named(new QPushButton(this), "m_BTNOk");
    m_BTNOk->setDefault(true);
    m_BTNCancel = Named(new QPushButton(this), "m_BTNCancel");
    m_BTNCancel->setAutoDefault(false);
}

void CDBSelectDlg::BuildLayout()
{
    auto* form = new QGridLayout;
    form->setColumnStretch(0, 1);
    form->setVerticalSpacing(4);
    form->addWidget(m_LBLDBName, 0, 0, 1, 2);
    form->addWidget(m_CMBDBName, 1, 0);
    form->addWidget(m_BTNBrowse, 1, 1);
    form->addItem(new QSpacerItem(0, 8), 2, 0);
    form->addWidget(m_LBLDBUser, 3, 0, 1, 2);
    form->addWidget(m_EDTDBUser, 4, 0, 1, 2);
    form->addItem(new QSpacerItem(0, 8), 5, 0);
    form->addWidget(m_LBLDBPass, 6, 0, 1, 2);
    form->addWidget(m_EDTDBPass, 7, 0, 1, 2);
    form->setRowStretch(8, 1);
    m_CMBDBName->setMinimumWidth(CDpiDC(this).ScaleToScreen(kBoxWidth));

    auto* panel = new QHBoxLayout(m_PICPanel);
    // The picture reaches from the panel's top to its bottom.
    panel->setContentsMargins(0, 0, kPanelMargin, 0);
    panel->setSpacing(kPanelMargin);
    panel->addWidget(m_PICDatabase, 0, Qt::AlignTop);
    auto* formFrame = new QVBoxLayout;
    formFrame->setContentsMargins(0, kPanelMargin, 0, kPanelMargin);
    formFrame->addLayout(form);
    panel->addLayout(formFrame, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(kPanelMargin, 0, kPanelMargin, 0);
    buttons->addWidget(m_BTNSQLEditor);
    buttons->addStretch();
    buttons->addWidget(m_BTNOk);
    buttons->addWidget(m_BTNCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, kPanelMargin);
    layout->setSpacing(kPanelMargin);
    layout->addWidget(m_PICPanel, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CDBSelectDlg::FitSidePicture()
{
    // Height: the panel's, as its form needs it; width from the picture's
    // proportions, never below its design size on a fine screen.
    // The destination's window wears the destination's colours, as in the main window.
    const EPicture picture =
        m_eRole == ERole::Destination ? EPicture::DestinationSelection : EPicture::DatabaseSelection;
    const QSize design = PictureDesignSize(picture);
    const CDpiDC dpi(this);
    const int formHeight = m_PICPanel->layout()->itemAt(1)->layout()->sizeHint().height();
    const int height = std::max(formHeight, dpi.ScaleToScreen(design.height()));
    const int width = height * design.width() / design.height();
    m_PICDatabase->setFixedSize(width, height);
    m_PICDatabase->setPixmap(Picture(picture, QSize(width, height)));
}

void CDBSelectDlg::SetTexts()
{
    CLanguageCatalog catalog;
    catalog.Open(m_args.languageFile);
    const ELanguageText caption = m_eRole == ERole::Source        ? ELanguageText::FrmDB_CaptionSource
                                  : m_eRole == ERole::Destination ? ELanguageText::FrmDB_CaptionDest
                                                                  : ELanguageText::FrmDB_Caption;
    setWindowTitle(UiText(catalog, caption));
    m_LBLDBName->setText(UiText(catalog, ELanguageText::FrmDB_m_LBLDBName));
    m_BTNBrowse->setText(UiText(catalog, ELanguageText::FrmDB_m_BTNBrowse));
    m_LBLDBUser->setText(UiText(catalog, ELanguageText::FrmDB_m_LBLDBUser));
    m_LBLDBPass->setText(UiText(catalog, ELanguageText::FrmDB_m_LBLDBPass));
    m_BTNSQLEditor->setText(UiText(catalog, ELanguageText::FrmDB_m_BTNSQLEditor));
    m_BTNOk->setText(UiText(catalog, ELanguageText::FrmDB_m_BTNOk));
    m_BTNCancel->setText(UiText(catalog, ELanguageText::FrmDB_m_BTNCancel));
    m_sMOpenDialog = UiText(catalog, ELanguageText::FrmDB_m_sMOpenDialog);
    m_sMError = UiText(catalog, ELanguageText::FrmDB_m_sMError);
    m_sMInvalidInput = UiText(catalog, ELanguageText::FrmDB_m_sMInvalidInput);
}

void CDBSelectDlg::LoadRecent()
{
    // Adding the first entry would make it the box's text: the caller's
    // database stays what the box shows.
    const QString shown = m_CMBDBName->currentText();
    for (int row = 0; row < kRecentLoaded; ++row)
    {
        const std::string entry = m_args.recentDatabases.GetCell(0, row);
        if (entry.empty())
            break;
        m_CMBDBName->addItem(QString::fromStdU16String(Utf8ToWide(entry)));
    }
    m_CMBDBName->setCurrentIndex(-1);
    m_CMBDBName->setEditText(shown);
}

void CDBSelectDlg::OnBrowse()
{
    // The dialog starts where the database already chosen lies.
    const std::u16string chosen = GetLocalDatabasePath(m_CMBDBName->currentText().toStdU16String());
    const QString folder = chosen.empty() ? QString() : QFileInfo(QString::fromStdU16String(chosen)).absolutePath();
    const QString path = OpenFileDialog(this, m_sMOpenDialog, QString::fromLatin1(kDefaultExtension),
                                        QFileInfo(folder).isDir() ? folder : QString());
    if (path.isEmpty())
    {
        m_CMBDBName->setEditText(QString());
        return;
    }
    const QString name = m_args.extendNames ? ExtendedDatabaseName(path) : path;
    if (m_args.rememberRecent && m_CMBDBName->findText(name, Qt::MatchFixedString) < 0)
        m_CMBDBName->insertItem(0, name);
    m_CMBDBName->setEditText(name);
}

void CDBSelectDlg::OnRecentChosen(int index)
{
    if (!m_args.rememberRecent || index < 0 || static_cast<CRecentComboBox*>(m_CMBDBName)->IsStepping())
        return;
    const QString chosen = m_CMBDBName->itemText(index);
    m_CMBDBName->removeItem(index);
    m_CMBDBName->insertItem(0, chosen);
    m_CMBDBName->setCurrentIndex(0);
}

bool CDBSelectDlg::Validate()
{
    if (m_CMBDBName->currentText().isEmpty())
        OnBrowse();
    m_sDatabase = m_CMBDBName->currentText();
    m_sUser = m_EDTDBUser->text();
    m_sPassword = m_EDTDBPass->text();
    if (m_sDatabase.isEmpty() || m_sUser.isEmpty() || m_sPassword.isEmpty())
    {
        CMessageBox::ShowError(this, m_sMInvalidInput, m_sMError);
        return false;
    }
    return true;
}

void CDBSelectDlg::OnSqlEditor()
{
    m_sDatabase = m_CMBDBName->currentText();
    m_sUser = m_EDTDBUser->text();
    m_sPassword = m_EDTDBPass->text();
    if (!Validate())
        return;
    CDBSQLDlg editor(m_args.languageFile, m_args.font, m_sDatabase.toStdU16String(), m_sUser.toStdU16String(),
                     m_sPassword.toStdU16String(), u"", m_args.defaultUser, m_args.defaultPassword, m_args.retries,
                     m_args.rememberRecent, m_args.recentDatabases, m_args.extendNames, m_args.windowRect, false, this);
    editor.exec();
}

void CDBSelectDlg::done(int result)
{
    WriteBack(result == QDialog::Accepted);
    QDialog::done(result);
}

void CDBSelectDlg::WriteBack(bool confirmed)
{
    // A cancelled choice is no choice: the caller keeps the database it
    // shows, so a later copy cannot reach one the window does not name.
    if (confirmed)
    {
        m_args.database = m_CMBDBName->currentText().toStdU16String();
        m_args.user = m_EDTDBUser->text().toStdU16String();
        m_args.password = m_EDTDBPass->text().toStdU16String();
    }
    if (!m_args.rememberRecent)
        return;
    // Rows past the box's entries keep what they held.
    for (int i = 0; i < m_CMBDBName->count() && i < kRecentWritten; ++i)
        m_args.recentDatabases.SetCell(0, i, WideToUtf8(m_CMBDBName->itemText(i).toStdU16String()));
}

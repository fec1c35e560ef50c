#include "app/CRowmoverDlg.h"

#include "app/CDBCopyDlg.h"

#include "config/CLanguageCatalog.h"
#include "core/FileHelpers.h"
#include "sqleditor/CDBSQLDlg.h"
#include "sqleditor/CDBSelectDlg.h"
#include "ui/Artwork.h"
#include "ui/CDpiDC.h"
#include "ui/CElidedEdit.h"
#include "ui/CFontSettings.h"
#include "ui/LinkFocus.h"
#include "ui/Mnemonics.h"
#include "ui/UiText.h"
#include "ui/WidgetNames.h"
#include "ui/WindowSizes.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
constexpr int kGap = 6;
constexpr int kPanelMargin = 12;
constexpr int kListHeight = 300;
} // namespace

CRowmoverDlg::CRowmoverDlg(const std::string& programFile, const std::vector<std::string>& arguments, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CRowmoverDlg"));
    setWindowTitle(QString::fromLatin1(kCaption));
    // A main window that can be resized, minimised and maximised.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    m_pFont = std::make_unique<CFontSettings>(this);
    AttachFont(m_pFont.get());
    setWindowIcon(ProgramIcon());
    CreateControls();
    CreateMenu();
    BuildLayout();
    SetTabOrder();
    m_CHKAllTables->setChecked(true);

    ResolveFolders(programFile, arguments.empty() ? std::string() : arguments.front());
    RemoveMissingHelpTexts();
    FitSidePictures();
    m_rcSQLEditor = SWindowRect{0, 0, 0, 0};

    const TApplyTexts applyTexts = [this](const std::u16string& file) { ApplyTexts(file); };
    ResolveLanguageFile(m_sHomeBase, u"", m_sLanguageFile, m_sLanguageName, applyTexts);
    SetApplyTexts(applyTexts);
    LoadSettings(SettingsFile());
    RestoreWindowPosition();
    LoadWindowSizes(m_sWindowSizes);
    CreateCopyEngine();
    SetListImageSize();
    UseDefaultCredentials();
    m_bSilent = false;
    OfferLeftoverTriggers();

    // Every database selection of the program, also the SQL editor's, is this dialog.
    CDBSQLDlg::SetSelectDatabase(&CDBSelectDlg::Run);
}

CRowmoverDlg::~CRowmoverDlg()
{
    // The progress window's worker uses the engine; it ends before the engine goes.
    m_pCopyDlg.reset();
}

void CRowmoverDlg::CreateControls()
{
    m_PICPanel = Named(new QFrame(this), "m_PICPanel");
    m_PICPanel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_PICPanel->setAutoFillBackground(true);
    QPalette white = m_PICPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_PICPanel->setPalette(white);

    m_LBLSourceDB = Named(new QLabel(m_PICPanel), "m_LBLSourceDB");
    m_PICSourceDB = Named(new QLabel(m_PICPanel), "m_PICSourceDB");
    m_EDTSourceDB = Named(new CElidedEdit(m_PICPanel), "m_EDTSourceDB");
    m_BTNSourceDB = Named(new QPushButton(m_PICPanel), "m_BTNSourceDB");
    m_LBLDestDB = Named(new QLabel(m_PICPanel), "m_LBLDestDB");
    m_PICDestDB = Named(new QLabel(m_PICPanel), "m_PICDestDB");
    m_EDTDestDB = Named(new CElidedEdit(m_PICPanel), "m_EDTDestDB");
    m_BTNDestDB = Named(new QPushButton(m_PICPanel), "m_BTNDestDB");
    m_LBLTables = Named(new QLabel(m_PICPanel), "m_LBLTables");
    m_CHKAllTables = Named(new QCheckBox(m_PICPanel), "m_CHKAllTables");
    m_BTNRefresh = Named(new QPushButton(m_PICPanel), "m_BTNRefresh");
    m_LISSourceTables = Named(new QTreeWidget(m_PICPanel), "m_LISSourceTables");
    m_LBLStatus = Named(new QLabel(this), "m_LBLStatus");
    m_LBLStatus->setWordWrap(true);
    m_BTNCheck = Named(new QPushButton(this), "m_BTNCheck");
    m_BTNCheck->setAutoDefault(false);
    m_BTNCopy = Named(new QPushButton(this), "m_BTNCopy");
    m_LBLLastRun = Named(new QLabel(m_PICPanel), "m_LBLLastRun");
    m_LBLLastRun->setWordWrap(true);
    m_LBLLastRun->setTextFormat(Qt::RichText);
    m_LBLLastRun->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    FocusLinksOnTab(m_LBLLastRun);
    m_LBLLastRun->hide();

    QFont bold = m_LBLSourceDB->font();
    bold.setBold(true);
    for (QLabel* label : {m_LBLSourceDB, m_LBLDestDB, m_LBLTables})
        label->setFont(bold);
    for (QLineEdit* box : {m_EDTSourceDB, m_EDTDestDB})
    {
        box->setReadOnly(true);
        // Files dropped on a box go to the window, as everywhere else.
        box->setAcceptDrops(false);
        box->installEventFilter(this);
    }
    for (QPushButton* button : {m_BTNSourceDB, m_BTNDestDB, m_BTNRefresh})
        button->setAutoDefault(false);
    // Copying replaces rows: a stray Return (in the table list, say) must not
    // start it, so the window has no default button.
    m_BTNCopy->setAutoDefault(false);

    m_LISSourceTables->setColumnCount(2);
    m_LISSourceTables->setRootIsDecorated(false);
    m_LISSourceTables->setItemsExpandable(false);
    m_LISSourceTables->setUniformRowHeights(true);
    m_LISSourceTables->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_LISSourceTables->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_LISSourceTables->setAcceptDrops(false);
    m_LISSourceTables->installEventFilter(this);
    // The selection stays visible while the list has no focus.
    QPalette list = m_LISSourceTables->palette();
    list.setColor(QPalette::Inactive, QPalette::Highlight, list.color(QPalette::Active, QPalette::Highlight));
    list.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  list.color(QPalette::Active, QPalette::HighlightedText));
    m_LISSourceTables->setPalette(list);

    connect(m_BTNSourceDB, &QPushButton::clicked, this, &CRowmoverDlg::OnBrowseSource);
    connect(m_BTNDestDB, &QPushButton::clicked, this, &CRowmoverDlg::OnBrowseDest);
    connect(m_BTNRefresh, &QPushButton::clicked, this, &CRowmoverDlg::OnRefresh);
    connect(m_BTNCheck, &QPushButton::clicked, this, &CRowmoverDlg::OnCheck);
    connect(m_BTNCopy, &QPushButton::clicked, this, &CRowmoverDlg::OnCopy);
    connect(m_LISSourceTables, &QTreeWidget::itemDoubleClicked, this, &CRowmoverDlg::OnTableDblClick);
    connect(m_LBLLastRun, &QLabel::linkActivated, this, &CRowmoverDlg::OnLastRunLink);
    setAcceptDrops(true);
}

QMenu* CRowmoverDlg::AddMenu(const char* objectName, ELanguageText text)
{
    QMenu* menu = Named(m_pMenuBar->addMenu(QString()), objectName);
    m_menuTexts.emplace_back(menu->menuAction(), text);
    return menu;
}

QAction* CRowmoverDlg::AddMenuAction(QMenu* menu, const char* objectName, ELanguageText text,
                                     const QKeySequence& shortcut, void (CRowmoverDlg::*slot)())
{
    QAction* action = Named(menu->addAction(QString()), objectName);
    action->setShortcut(shortcut);
    // Known to the window itself too, so the keys work whatever has the focus.
    addAction(action);
    connect(action, &QAction::triggered, this, slot);
    m_menuTexts.emplace_back(action, text);
    return action;
}

void CRowmoverDlg::CreateMenu()
{
    using T = ELanguageText;
    m_pMenuBar = Named(new QMenuBar(this), "m_pMenuBar");
    m_MENFile = AddMenu("ID_MEN_FILE", T::FrmMain_ID_MEN_FILE);
    AddMenuAction(m_MENFile, "ID_MEN_SOURCE", T::FrmMain_ID_MEN_SOURCE, QKeySequence(Qt::CTRL | Qt::Key_S),
                  &CRowmoverDlg::OnBrowseSource);
    AddMenuAction(m_MENFile, "ID_MEN_DESTINATION", T::FrmMain_ID_MEN_DESTINATION, QKeySequence(Qt::CTRL | Qt::Key_D),
                  &CRowmoverDlg::OnBrowseDest);
    m_MENFile->addSeparator();
    // Ctrl+C starts a copy; the window's shortcut comes before a control's
    // clipboard copy (see eventFilter).
    AddMenuAction(m_MENFile, "ID_MEN_CHECK", T::FrmMain_ID_MEN_CHECK, QKeySequence(Qt::CTRL | Qt::Key_K),
                  &CRowmoverDlg::OnCheck);
    AddMenuAction(m_MENFile, "ID_MEN_COPY", T::FrmMain_ID_MEN_COPY, QKeySequence(Qt::CTRL | Qt::Key_C),
                  &CRowmoverDlg::OnCopy);
    m_MENFile->addSeparator();
    AddMenuAction(m_MENFile, "ID_MEN_EXIT", T::FrmMain_ID_MEN_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q),
                  &CRowmoverDlg::OnExit);

    m_MENTables = AddMenu("ID_MEN_TABLES", T::FrmMain_ID_MEN_TABLES);
    AddMenuAction(m_MENTables, "ID_MEN_SELECTALL", T::FrmMain_ID_MEN_SELECTALL, QKeySequence(Qt::CTRL | Qt::Key_A),
                  &CRowmoverDlg::OnSelectAll);
    AddMenuAction(m_MENTables, "ID_MEN_INVERTSELECTION", T::FrmMain_ID_MEN_INVERTSELECTION,
                  QKeySequence(Qt::CTRL | Qt::Key_I), &CRowmoverDlg::OnInvertSelection);

    m_MENView = AddMenu("ID_MEN_VIEW", T::FrmMain_ID_MEN_VIEW);
    AddMenuAction(m_MENView, "ID_MEN_SQLLOG", T::FrmMain_ID_MEN_SQLLOG, {}, &CRowmoverDlg::OnViewSqlLog);
    AddMenuAction(m_MENView, "ID_MEN_TXTLOG", T::FrmMain_ID_MEN_TXTLOG, {}, &CRowmoverDlg::OnViewTxtLog);
    AddMenuAction(m_MENView, "ID_MEN_GENERALLOG", T::FrmMain_ID_MEN_GENERALLOG, {}, &CRowmoverDlg::OnViewLog);
    m_MENView->addSeparator();
    AddMenuAction(m_MENView, "ID_MEN_REFRESH", T::FrmMain_ID_MEN_REFRESH, QKeySequence(Qt::Key_F5),
                  &CRowmoverDlg::OnRefresh);
    m_MENView->addSeparator();
    AddMenuAction(m_MENView, "ID_MEN_SQLEDITOR", T::FrmMain_ID_MEN_SQLEDITOR, QKeySequence(Qt::CTRL | Qt::Key_E),
                  &CRowmoverDlg::OnSqlEditor);
    AddMenuAction(m_MENView, "ID_MEN_OPTIONS", T::FrmMain_ID_MEN_OPTIONS, {}, &CRowmoverDlg::OnOptions);
    AddMenuAction(m_MENView, "ID_MEN_LANGUAGE", T::FrmMain_ID_MEN_LANGUAGE, {}, &CRowmoverDlg::OnLanguage);

    // The last menu has no language key and keeps its text.
    m_MENHelp = Named(m_pMenuBar->addMenu(QStringLiteral("?")), "ID_MEN_HELPMENU");
    AddMenuAction(m_MENHelp, "ID_MEN_HELP", T::FrmMain_ID_MEN_HELP, QKeySequence(Qt::Key_F1), &CRowmoverDlg::OnHelp);
    AddMenuAction(m_MENHelp, "ID_MEN_LICENSE", T::FrmMain_ID_MEN_LICENSE, {}, &CRowmoverDlg::OnLicense);
    AddMenuAction(m_MENHelp, "ID_MEN_README", T::FrmMain_ID_MEN_README, {}, &CRowmoverDlg::OnReadMe);
    AddMenuAction(m_MENHelp, "ID_MEN_CHECKUPDATE", T::FrmMain_ID_MEN_CHECKUPDATE, {}, &CRowmoverDlg::OnCheckUpdate);
    m_MENHelp->addSeparator();
    AddMenuAction(m_MENHelp, "ID_MEN_INFO", T::FrmMain_ID_MEN_INFO, {}, &CRowmoverDlg::OnInfo);
}

void CRowmoverDlg::BuildLayout()
{
    auto* databases = new QVBoxLayout;
    databases->setSpacing(kGap);
    const auto addDatabase = [&](QLabel* label, QLabel* picture, QLineEdit* box, QPushButton* button) {
        databases->addWidget(label);
        databases->addWidget(picture);
        auto* row = new QHBoxLayout;
        row->addWidget(box, 1);
        row->addWidget(button);
        databases->addLayout(row);
    };
    addDatabase(m_LBLSourceDB, m_PICSourceDB, m_EDTSourceDB, m_BTNSourceDB);
    databases->addSpacing(2 * kPanelMargin);
    addDatabase(m_LBLDestDB, m_PICDestDB, m_EDTDestDB, m_BTNDestDB);
    databases->addStretch(1);

    auto* tables = new QVBoxLayout;
    tables->setSpacing(kGap);
    tables->addWidget(m_LBLTables);
    auto* listTools = new QHBoxLayout;
    listTools->addWidget(m_CHKAllTables);
    listTools->addStretch(1);
    listTools->addWidget(m_BTNRefresh);
    tables->addLayout(listTools);
    tables->addWidget(m_LISSourceTables, 1);
    tables->addWidget(m_LBLLastRun);

    auto* panel = new QHBoxLayout(m_PICPanel);
    panel->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
    panel->setSpacing(2 * kPanelMargin);
    panel->addLayout(databases);
    panel->addLayout(tables, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_LBLStatus, 1);
    buttons->addWidget(m_BTNCheck, 0, Qt::AlignRight | Qt::AlignVCenter);
    buttons->addWidget(m_BTNCopy, 0, Qt::AlignRight | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(m_pMenuBar);
    layout->setContentsMargins(kGap, kGap, kGap, kGap);
    layout->setSpacing(kGap);
    layout->addWidget(m_PICPanel, 1);
    layout->addLayout(buttons);

    const CDpiDC dpi(this);
    m_LISSourceTables->setMinimumSize(dpi.ScaleToScreen(kNameColumnWidth + kTriggerColumnWidth + 8),
                                      dpi.ScaleToScreen(kListHeight));
}

void CRowmoverDlg::SetTabOrder()
{
    // The order of reading: the source, the destination, then the tables.
    QWidget* const order[] = {m_EDTSourceDB, m_BTNSourceDB,     m_EDTDestDB,  m_BTNDestDB, m_CHKAllTables,
                              m_BTNRefresh,  m_LISSourceTables, m_LBLLastRun, m_BTNCheck,  m_BTNCopy};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void CRowmoverDlg::RemoveMissingHelpTexts()
{
    const auto remove = [this](const char* name) {
        if (QAction* action = m_MENHelp->findChild<QAction*>(QString::fromLatin1(name)))
            delete action;
    };
    if (!FileExists(m_sHomeBase + u"License.txt"))
        remove("ID_MEN_LICENSE");
    if (!FileExists(m_sHomeBase + u"ReadMe.txt"))
    {
        remove("ID_MEN_README");
        remove("ID_MEN_CHECKUPDATE");
    }
}

void CRowmoverDlg::FitSidePictures()
{
    // Each picture spans the width of the database box and its button below it.
    const CDpiDC dpi(this);
    const QSize design = PictureDesignSize(EPicture::SourceDatabase);
    const int width = dpi.ScaleToScreen(design.width());
    const int height = width * design.height() / design.width();
    m_PICSourceDB->setFixedSize(width, height);
    m_PICSourceDB->setPixmap(Picture(EPicture::SourceDatabase, QSize(width, height)));
    m_PICDestDB->setFixedSize(width, height);
    m_PICDestDB->setPixmap(Picture(EPicture::DestinationDatabase, QSize(width, height)));
}

void CRowmoverDlg::SetListImageSize()
{
    m_nImageSize = CDpiDC(this).ScaleToScreen(kListImageDesignSize);
    m_LISSourceTables->setIconSize(QSize(m_nImageSize, m_nImageSize));
}

void CRowmoverDlg::ApplyTexts(const std::u16string& languageFilePath)
{
    CLanguageCatalog catalog;
    catalog.Open(languageFilePath);
    m_sLanguageFile = languageFilePath;
    for (const auto& [action, text] : m_menuTexts)
        if (action)
            action->setText(UiText(catalog, text));
    // Alt keys for every menu and entry, whatever the language.
    m_MENHelp->setTitle(QStringLiteral("?"));
    AssignMnemonics(m_pMenuBar);

    using T = ELanguageText;
    m_LBLSourceDB->setText(UiText(catalog, T::FrmMain_m_LBLSourceDB));
    m_LBLDestDB->setText(UiText(catalog, T::FrmMain_m_LBLDestDB));
    m_LBLTables->setText(UiText(catalog, T::FrmMain_m_LBLTables));
    m_CHKAllTables->setText(UiText(catalog, T::FrmMain_m_CHKAllTables));
    m_BTNCheck->setText(UiText(catalog, T::FrmMain_m_BTNCheck));
    m_BTNCheck->setToolTip(m_BTNCheck->text());
    m_BTNCopy->setText(UiText(catalog, T::FrmMain_m_BTNCopy));
    m_BTNCopy->setToolTip(m_BTNCopy->text());
    m_BTNSourceDB->setText(UiText(catalog, T::FrmMain_m_BTNSourceDB));
    m_BTNSourceDB->setToolTip(UiText(catalog, T::FrmMain_m_BTNSourceDBHint));
    m_BTNDestDB->setText(UiText(catalog, T::FrmMain_m_BTNDestDB));
    m_BTNDestDB->setToolTip(UiText(catalog, T::FrmMain_m_BTNDestDBHint));
    m_BTNRefresh->setText(UiText(catalog, T::FrmMain_m_BTNRefresh));
    m_BTNRefresh->setToolTip(UiText(catalog, T::FrmMain_m_BTNRefreshHint));

    m_LISSourceTables->setHeaderLabels(
        {UiText(catalog, T::FrmMain_m_LISSourceTables0), UiText(catalog, T::FrmMain_m_LISSourceTables1)});
    const CDpiDC dpi(this);
    m_LISSourceTables->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_LISSourceTables->setColumnWidth(0, dpi.ScaleToScreen(kNameColumnWidth));
    m_LISSourceTables->setColumnWidth(1, dpi.ScaleToScreen(kTriggerColumnWidth));

    m_aMError = UiText(catalog, T::FrmMain_m_aMError);
    m_aMNoSource = UiText(catalog, T::FrmMain_m_aMNoSource);
    m_aMNoDest = UiText(catalog, T::FrmMain_m_aMNoDest);
    m_aMIdentical = UiText(catalog, T::FrmMain_m_aMIdentical);
    m_aMNoTables = UiText(catalog, T::FrmMain_m_aMNoTables);
    m_aMNoSelection = UiText(catalog, T::FrmMain_m_aMNoSelection);
    m_aMErrorConnectSource = UiText(catalog, T::FrmMain_m_aMErrorConnectSource);
    m_aMErrorConnectDest = UiText(catalog, T::FrmMain_m_aMErrorConnectDest);
    m_aMBtnOk = UiText(catalog, T::FrmMain_m_aMBtnOk);
    m_aMTriggersLeftOff = UiText(catalog, T::FrmMain_m_aMTriggersLeftOff);
    m_aMTriggersNotRestored = UiText(catalog, T::FrmMain_m_aMTriggersNotRestored);
    m_aMOpenedDirectly = UiText(catalog, T::FrmMain_m_aMOpenedDirectly);
    m_aMAttaching = UiText(catalog, T::FrmMain_m_aMAttaching);
    m_aMCancel = UiText(catalog, T::FrmMain_m_aMCancel);
    ShowDatabases();
    ShowLastRun();
}

bool CRowmoverDlg::IsMenuShortcut(const QKeyEvent* event) const
{
    const QKeySequence pressed(event->keyCombination());
    for (const QAction* action : actions())
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed)
            return true;
    return false;
}

bool CRowmoverDlg::eventFilter(QObject* watched, QEvent* event)
{
    // The window's keys come before a control's own use of them: Ctrl+A
    // selects every table even while a database box has the focus.
    if (event->type() == QEvent::ShortcutOverride && IsMenuShortcut(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

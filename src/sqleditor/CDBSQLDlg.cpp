#include "sqleditor/CDBSQLDlg.h"

#include "config/CLanguageCatalog.h"
#include "core/TextEncoding.h"
#include "db/CFbConnection.h"
#include "db/SqlText.h"
#include "sqleditor/CResultModel.h"
#include "sqleditor/CSqlHighlighter.h"
#include "sqleditor/CSqlSession.h"
#include "sqleditor/EditorText.h"
#include "sqleditor/SqlEditorFiles.h"
#include "ui/Artwork.h"
#include "ui/CDpiDC.h"
#include "ui/CFontSettings.h"
#include "ui/CHelpDlg.h"
#include "ui/CMessageBox.h"
#include "ui/FixedFont.h"
#include "ui/Mnemonics.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>

#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace
{
TSelectDatabase& SelectDatabaseHook()
{
    static TSelectDatabase hook;
    return hook;
}

TShowHelp& ShowHelpHook()
{
    static TShowHelp hook;
    return hook;
}

constexpr int kMinimumWidth = 540;
constexpr int kMinimumHeight = 400;
constexpr int kGap = 5;
constexpr int kTablesColumnWidth = 200;
constexpr int kResultColumnWidth = 100;
constexpr int kStatementLines = 7;
// The statement formatted for a click in the tables list is cut here.
constexpr int kMaxStatementLength = 4095;
} // namespace

void CDBSQLDlg::SetSelectDatabase(TSelectDatabase selectDatabase)
{
    SelectDatabaseHook() = std::move(selectDatabase);
}

void CDBSQLDlg::SetShowHelp(TShowHelp showHelp)
{
    ShowHelpHook() = std::move(showHelp);
}

CDBSQLDlg::CDBSQLDlg(const std::u16string& languageFile, CFontSettings& font, const std::u16string& database,
                     const std::u16string& user, const std::u16string& password, const std::u16string& table,
                     const std::u16string& defaultUser, const std::u16string& defaultPassword, int retries,
                     bool rememberRecent, CStringGrid& recentDatabases, bool extendNames, SWindowRect& windowRect,
                     bool askForDatabase, QWidget* parent)
    : QDialog(parent), m_sLanguageFile(languageFile), m_pFont(&font), m_sDatabase(database), m_sUser(user),
      m_sPassword(password), m_sDefUser(defaultUser), m_sDefPass(defaultPassword), m_nRetries(retries),
      m_bRecentDBs(rememberRecent), m_pRecentDBs(&recentDatabases), m_bExtendDBName(extendNames),
      m_pWindowRect(&windowRect)
{
    setObjectName("CDBSQLDlg");
    setModal(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(ProgramIcon());
    CreateControls();
    CreateMenu();
    SetTexts();
    if (askForDatabase)
        OnSelectDatabase();
    else
        AttachAtStart(table);
    ApplyFonts();
    RestorePosition();
}

CDBSQLDlg::~CDBSQLDlg()
{
    // The session's thread detaches; a statement still running is cancelled
    // and ends there, without holding up the window.
    m_pSession.reset();
}

bool CDBSQLDlg::IsAttached() const
{
    return m_pSession != nullptr;
}

void CDBSQLDlg::CreateControls()
{
    auto* dialogLayout = new QVBoxLayout(this);
    dialogLayout->setContentsMargins(0, 0, 0, kGap);
    dialogLayout->setSpacing(kGap);

    m_STAPanel = new QWidget(this);
    m_STAPanel->setObjectName("m_STAPanel");
    m_STAPanel->setAutoFillBackground(true);
    QPalette white = m_STAPanel->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_STAPanel->setPalette(white);

    m_LBLStatement = new QLabel(m_STAPanel);
    m_LBLStatement->setObjectName("m_LBLStatement");
    m_CHKMultiline = new QCheckBox(m_STAPanel);
    m_CHKMultiline->setObjectName("m_CHKMultiline");
    m_EDTStatement = new QPlainTextEdit(m_STAPanel);
    m_EDTStatement->setObjectName("m_EDTStatement");
    m_EDTStatement->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_EDTStatement->setTabChangesFocus(false);
    m_EDTStatement->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_pHighlighter = new CSqlHighlighter(m_EDTStatement->document());
    m_BTNExecute = new QPushButton(m_STAPanel);
    m_BTNExecute->setObjectName("m_BTNExecute");
    m_BTNExecute->setDefault(true);
    m_LBLTables = new QLabel(m_STAPanel);
    m_LBLTables->setObjectName("m_LBLTables");
    m_LISTables = new QTreeWidget(m_STAPanel);
    m_LISTables->setObjectName("m_LISTables");
    m_LISTables->setRootIsDecorated(false);
    m_LISTables->setSelectionMode(QAbstractItemView::SingleSelection);
    m_LISTables->setColumnCount(1);
    m_LISTables->setSortingEnabled(true);
    m_LISTables->sortByColumn(0, Qt::AscendingOrder);
    m_LISTables->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    m_LBLResult = new QLabel(m_STAPanel);
    m_LBLResult->setObjectName("m_LBLResult");
    m_LISResult = new QTreeView(m_STAPanel);
    m_LISResult->setObjectName("m_LISResult");
    m_LISResult->setRootIsDecorated(false);
    m_LISResult->setItemsExpandable(false);
    m_LISResult->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_LISResult->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_LISResult->setUniformRowHeights(true);
    m_pResultModel = new CResultModel(this);
    m_pResultModel->setObjectName("m_pResultModel");
    m_pResultModel->SetFetchRequest([this] {
        // The view also asks while it lays itself out, before any row is
        // seen; only a last row in sight asks for the next page.
        const int rows = m_pResultModel->Rows();
        const QRect last = rows > 0 ? m_LISResult->visualRect(m_pResultModel->index(rows - 1, 0)) : QRect();
        if (rows > 0 && last.isValid() && last.intersects(m_LISResult->viewport()->rect()))
            RequestRows(kPageRows);
        else
            m_pResultModel->SetFetching(false);
    });
    m_LISResult->setModel(m_pResultModel);
    m_LISResult->header()->setStretchLastSection(false);
    m_LISResult->header()->setDefaultSectionSize(kResultColumnWidth);
    m_LISResult->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_LBLStatus = new QLabel(m_STAPanel);
    m_LBLStatus->setObjectName("m_LBLStatus");
    m_LBLStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_BTNFetchAll = new QPushButton(m_STAPanel);
    m_BTNFetchAll->setObjectName("m_BTNFetchAll");
    m_BTNFetchAll->setAutoDefault(false);
    m_BTNFetchAll->setEnabled(false);
    m_BTNCancel = new QPushButton(m_STAPanel);
    m_BTNCancel->setObjectName("m_BTNCancel");
    m_BTNCancel->setAutoDefault(false);
    m_BTNCancel->setEnabled(false);
    m_pBusyTimer = new QTimer(this);
    // Ten times a second: the elapsed time, and the cancel asked again for
    // a call through a server that was too young to be cancelled safely.
    m_pBusyTimer->setInterval(100);
    connect(m_pBusyTimer, &QTimer::timeout, this, &CDBSQLDlg::ShowElapsed);

    auto* panelLayout = new QGridLayout(m_STAPanel);
    panelLayout->setContentsMargins(kGap, kGap, kGap, kGap);
    panelLayout->setHorizontalSpacing(kGap * 2);
    panelLayout->setVerticalSpacing(kGap);
    auto* statementRow = new QHBoxLayout;
    statementRow->addWidget(m_LBLStatement);
    statementRow->addStretch(1);
    statementRow->addWidget(m_CHKMultiline);
    auto* resultRow = new QHBoxLayout;
    resultRow->addWidget(m_LBLResult);
    resultRow->addStretch(1);
    resultRow->addWidget(m_BTNExecute);
    panelLayout->addWidget(m_LBLTables, 0, 0);
    panelLayout->addLayout(statementRow, 0, 1);
    panelLayout->addWidget(m_LISTables, 1, 0, 3, 1);
    panelLayout->addWidget(m_EDTStatement, 1, 1);
    panelLayout->addLayout(resultRow, 2, 1);
    panelLayout->addWidget(m_LISResult, 3, 1);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_LBLStatus, 1);
    statusRow->addWidget(m_BTNFetchAll);
    statusRow->addWidget(m_BTNCancel);
    panelLayout->addLayout(statusRow, 4, 1);
    panelLayout->setRowStretch(3, 1);
    panelLayout->setColumnStretch(1, 1);
    dialogLayout->addWidget(m_STAPanel, 1);

    m_BTNOk = new QPushButton(this);
    m_BTNOk->setObjectName("m_BTNOk");
    m_BTNOk->setAutoDefault(false);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(m_BTNOk);
    okRow->addStretch(1);
    dialogLayout->addLayout(okRow);

    // Narrower or lower, the result grid and the statement box no longer
    // show a usable part of their contents.
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setSizeGripEnabled(true);

    connect(m_BTNExecute, &QPushButton::clicked, this, &CDBSQLDlg::OnExecute);
    connect(m_BTNFetchAll, &QPushButton::clicked, this, &CDBSQLDlg::OnFetchAll);
    connect(m_BTNCancel, &QPushButton::clicked, this, &CDBSQLDlg::OnCancel);
    connect(m_BTNOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_LISTables, &QTreeWidget::itemClicked, this, [this] { OnTableClicked(); });
}

QAction* CDBSQLDlg::AddAction(QMenu* menu, const char* objectName, const QKeySequence& shortcut,
                              void (CDBSQLDlg::*slot)())
{
    QAction* action = menu->addAction(QString());
    action->setObjectName(objectName);
    if (!shortcut.isEmpty())
    {
        action->setShortcut(shortcut);
        // The dialog holds the actions too, so the keys work wherever the
        // focus is in the window, the statement box included.
        addAction(action);
    }
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void CDBSQLDlg::CreateMenu()
{
    m_pMenuBar = new QMenuBar(this);
    m_pMenuBar->setObjectName("m_MENSQL");
    m_pMenuBar->setNativeMenuBar(false);
    layout()->setMenuBar(m_pMenuBar);

    QMenu* file = m_pMenuBar->addMenu(QString());
    AddAction(file, "ID_MENSQL_OPEN", QKeySequence(Qt::CTRL | Qt::Key_O), &CDBSQLDlg::OnOpenScript);
    AddAction(file, "ID_MENSQL_SAVE", QKeySequence(Qt::CTRL | Qt::Key_S), &CDBSQLDlg::OnSaveScript);
    AddAction(file, "ID_MENSQL_EXPORT", {}, &CDBSQLDlg::OnExportResults);
    file->addSeparator();
    AddAction(file, "ID_MENSQL_EXIT", QKeySequence(Qt::CTRL | Qt::Key_Q), &CDBSQLDlg::OnExit);

    QMenu* database = m_pMenuBar->addMenu(QString());
    AddAction(database, "ID_MENSQL_SELECT", QKeySequence(Qt::Key_F4), &CDBSQLDlg::OnSelectDatabase);
    database->addSeparator();
    AddAction(database, "ID_MENSQL_REFRESHTABLES", QKeySequence(Qt::Key_F5), &CDBSQLDlg::OnRefreshTables);

    QMenu* edit = m_pMenuBar->addMenu(QString());
    AddAction(edit, "ID_MENSQL_DELETE", QKeySequence(Qt::CTRL | Qt::Key_D), &CDBSQLDlg::OnDeleteRecord);
    AddAction(edit, "ID_MENSQL_MODIFY", QKeySequence(Qt::CTRL | Qt::Key_M), &CDBSQLDlg::OnModifyRecord);
    AddAction(edit, "ID_MENSQL_INSERT", QKeySequence(Qt::CTRL | Qt::Key_I), &CDBSQLDlg::OnInsertRecord);
    edit->addSeparator();
    AddAction(edit, "ID_MENSQL_DELETETABLE", {}, &CDBSQLDlg::OnDeleteTable);
    AddAction(edit, "ID_MENSQL_INSERTTABLE", {}, &CDBSQLDlg::OnInsertTable);
    edit->addSeparator();
    AddAction(edit, "ID_MENSQL_SYSTEMTABLE", {}, &CDBSQLDlg::OnSystemTable);

    QMenu* help = m_pMenuBar->addMenu(QStringLiteral("?"));
    AddAction(help, "ID_MENSQL_HELP", QKeySequence(Qt::Key_F1), &CDBSQLDlg::OnHelp);
}

void CDBSQLDlg::SetTexts()
{
    CLanguageCatalog catalog;
    catalog.Open(m_sLanguageFile);
    auto text = [&catalog](ELanguageText id) { return QString::fromStdU16String(catalog.GetText(id)); };

    const QList<QAction*> popups = m_pMenuBar->actions();
    popups[0]->setText(text(ELanguageText::FrmSQL_ID_MENSQL_FILE));
    popups[1]->setText(text(ELanguageText::FrmSQL_ID_MENSQL_DB));
    popups[2]->setText(text(ELanguageText::FrmSQL_ID_MENSQL_EDIT));
    const std::pair<const char*, ELanguageText> items[] = {
        {"ID_MENSQL_OPEN", ELanguageText::FrmSQL_ID_MENSQL_OPEN},
        {"ID_MENSQL_SAVE", ELanguageText::FrmSQL_ID_MENSQL_SAVE},
        {"ID_MENSQL_EXPORT", ELanguageText::FrmSQL_ID_MENSQL_EXPORT},
        {"ID_MENSQL_EXIT", ELanguageText::FrmSQL_ID_MENSQL_EXIT},
        {"ID_MENSQL_SELECT", ELanguageText::FrmSQL_ID_MENSQL_SELECT},
        {"ID_MENSQL_REFRESHTABLES", ELanguageText::FrmSQL_ID_MENSQL_REFRESHTABLES},
        {"ID_MENSQL_DELETE", ELanguageText::FrmSQL_ID_MENSQL_DELETE},
        {"ID_MENSQL_MODIFY", ELanguageText::FrmSQL_ID_MENSQL_MODIFY},
        {"ID_MENSQL_INSERT", ELanguageText::FrmSQL_ID_MENSQL_INSERT},
        {"ID_MENSQL_DELETETABLE", ELanguageText::FrmSQL_ID_MENSQL_DELETETABLE},
        {"ID_MENSQL_INSERTTABLE", ELanguageText::FrmSQL_ID_MENSQL_INSERTTABLE},
        {"ID_MENSQL_SYSTEMTABLE", ELanguageText::FrmSQL_ID_MENSQL_SYSTEMTABLE},
        {"ID_MENSQL_HELP", ELanguageText::FrmSQL_ID_MENSQL_HELP},
    };
    for (const auto& [name, id] : items)
        if (auto* action = findChild<QAction*>(name))
            action->setText(text(id));
    AssignMnemonics(m_pMenuBar);

    m_LBLStatement->setText(text(ELanguageText::FrmSQL_m_LBLStatement));
    m_CHKMultiline->setText(text(ELanguageText::FrmSQL_m_CHKMultiline));
    m_BTNExecute->setText(text(ELanguageText::FrmSQL_m_BTNExecute));
    m_LBLTables->setText(text(ELanguageText::FrmSQL_m_LBLTables));
    m_LBLResult->setText(text(ELanguageText::FrmSQL_m_LBLResult));
    m_BTNOk->setText(text(ELanguageText::FrmSQL_m_BTNOk));
    m_LISTables->setHeaderLabels({text(ELanguageText::FrmSQL_m_LISTables)});
    m_LISTables->setColumnWidth(0, kTablesColumnWidth);

    m_acMError = text(ELanguageText::FrmSQL_m_acMError);
    m_acMConnectionFailed = text(ELanguageText::FrmSQL_m_acMConnectionFailed);
    m_acMStatementFailed = text(ELanguageText::FrmSQL_m_acMStatementFailed);
    m_sMSqlScript = text(ELanguageText::FrmSQL_m_sMSqlScript);
    m_sMCSVFile = text(ELanguageText::FrmSQL_m_sMCSVFile);
    m_BTNFetchAll->setText(text(ELanguageText::FrmSQL_m_BTNFetchAll));
    m_BTNCancel->setText(text(ELanguageText::FrmSQL_m_BTNCancel));
    m_pResultModel->SetNullText(text(ELanguageText::FrmSQL_m_sMNull));
    m_sMExecuting = text(ELanguageText::FrmSQL_m_sMExecuting);
    m_sMFetching = text(ELanguageText::FrmSQL_m_sMFetching);
    m_sMFetchingRows = text(ELanguageText::FrmSQL_m_sMFetchingRows);
    m_sThousands = text(ELanguageText::FrmCopy_m_acMThousands);
    m_sMRowsAll = text(ELanguageText::FrmSQL_m_sMRowsAll);
    m_sMRowsMore = text(ELanguageText::FrmSQL_m_sMRowsMore);
    m_sMDone = text(ELanguageText::FrmSQL_m_sMDone);
    m_sMCancelled = text(ELanguageText::FrmSQL_m_sMCancelled);
    m_sMEmptyLine = text(ELanguageText::FrmSQL_m_sMEmptyLine);
    m_sMNotAttached = text(ELanguageText::FrmSQL_m_sMNotAttached);
    m_sMAttaching = text(ELanguageText::FrmSQL_m_sMAttaching);
    m_sMExporting = text(ELanguageText::FrmSQL_m_sMExporting);
    m_sMExported = text(ELanguageText::FrmSQL_m_sMExported);
    m_sMExportFailed = text(ELanguageText::FrmSQL_m_sMExportFailed);
    m_sMSaveFailed = text(ELanguageText::FrmSQL_m_sMSaveFailed);
    m_sMPartial = text(ELanguageText::FrmSQL_m_sMPartial);
}

void CDBSQLDlg::ApplyFonts()
{
    m_pFont->ApplyTo(this, true);
    // Statements line up in columns only in a fixed-pitch face.
    QFont statementFont = FixedPitchFont(font());
    CFontSettings::SetFontHeight(statementFont, CFontSettings::HeightOf(font()) - 1);
    m_EDTStatement->setFont(statementFont);
    const int frame = 2 * m_EDTStatement->frameWidth();
    m_EDTStatement->setFixedHeight(QFontMetrics(statementFont).lineSpacing() * kStatementLines + frame + 8);

    // Wide enough for the name column and a scroll bar; the list keeps this
    // width when the window grows.
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_LISTables);
    m_LISTables->setFixedWidth(kTablesColumnWidth + scrollBar + 2 * m_LISTables->frameWidth() + 2);
}

void CDBSQLDlg::RestorePosition()
{
    const int width = m_pWindowRect->right - m_pWindowRect->left;
    const int height = m_pWindowRect->bottom - m_pWindowRect->top;
    if (width == -1 && height == -1)
        setWindowState(windowState() | Qt::WindowMaximized);
    else if (width > 0 && height > 0)
        setGeometry(m_pWindowRect->left, m_pWindowRect->top, width, height);
    else
    {
        // The first time: room for the grid and for the longest status line.
        const CDpiDC dpi(this);
        const int status = m_LBLStatus->fontMetrics().horizontalAdvance(FormatUiText(m_sMRowsMore, Count(100000)));
        const int besides = std::max(0, sizeHint().width() - m_LBLStatus->sizeHint().width());
        resize(std::max({dpi.ScaleToScreen(900), status + besides, minimumSizeHint().width()}),
               std::max(dpi.ScaleToScreen(620), minimumSizeHint().height()));
    }
}

void CDBSQLDlg::AttachAtStart(const std::u16string& table)
{
    // Failed (said) or cancelled by the user: the editor has nothing to
    // work on and ends as soon as it is shown.
    if (Attach(m_sDatabase, m_sUser, m_sPassword) != EAttach::Attached)
    {
        m_bEndAtStart = true;
        return;
    }
    if (!table.empty())
    {
        SetStatement("SELECT * FROM " + SqlIdentifier(WideToUtf8(table)), m_CHKMultiline->isChecked());
        OnExecute();
    }
}

void CDBSQLDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The start-up failure was reported already; the dialog ends as soon as
    // its run begins.
    if (m_bEndAtStart)
        QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
}

void CDBSQLDlg::closeEvent(QCloseEvent* event)
{
    if (isMaximized())
        *m_pWindowRect = SWindowRect{0, 0, -1, -1};
    else
    {
        const QRect area = geometry();
        *m_pWindowRect = SWindowRect{area.left(), area.top(), area.left() + area.width(), area.top() + area.height()};
    }
    // The close box ends the editor even while a statement runs: the
    // session cancels it on its way out.
    if (m_bBusy)
    {
        event->accept();
        QDialog::done(QDialog::Rejected);
        return;
    }
    QDialog::closeEvent(event);
}

void CDBSQLDlg::FillTablesList(CStringGrid& relations)
{
    QList<QTreeWidgetItem*> items;
    for (int r = 0; r < relations.RowCount(); ++r)
        items.append(new QTreeWidgetItem(QStringList{ToQString(relations.GetCell(0, r))}));
    m_LISTables->addTopLevelItems(items);
}

void CDBSQLDlg::OnTableClicked()
{
    const QList<QTreeWidgetItem*> selected = m_LISTables->selectedItems();
    if (selected.isEmpty() || m_bBusy)
        return;
    std::string statement = "SELECT * FROM " + SqlIdentifier(ToUtf8(selected.first()->text(0)));
    if (statement.size() > kMaxStatementLength)
        statement.resize(kMaxStatementLength);
    SetStatement(statement, m_CHKMultiline->isChecked());
    OnExecute();
}

std::vector<int> CDBSQLDlg::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : m_LISResult->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CDBSQLDlg::SetStatement(const std::string& text, bool multiline)
{
    m_CHKMultiline->setChecked(multiline);
    m_EDTStatement->setPlainText(ToQString(FromCrLf(text)));
}

void CDBSQLDlg::OnRefreshTables()
{
    if (m_bBusy)
        return;
    Attach(m_sDatabase, m_sUser, m_sPassword);
}

void CDBSQLDlg::OnSelectDatabase()
{
    const TSelectDatabase& select = SelectDatabaseHook();
    if (!select || m_bBusy)
        return;
    // The choice is the editor's only once it attaches; a cancelled wait
    // leaves the editor as it was.
    std::u16string database = m_sDatabase;
    std::u16string user = m_sUser;
    std::u16string password = m_sPassword;
    SSelectDatabaseArgs args{m_sLanguageFile, *m_pFont,        database,      user,       password,
                             false,           m_sDefUser,      m_sDefPass,    m_nRetries, m_bRecentDBs,
                             *m_pRecentDBs,   m_bExtendDBName, *m_pWindowRect};
    if (!select(this, args))
        return;
    if (Attach(database, user, password) == EAttach::Cancelled)
        return;
    m_sDatabase = database;
    m_sUser = user;
    m_sPassword = password;
}

void CDBSQLDlg::OnHelp()
{
    if (const TShowHelp& help = ShowHelpHook())
    {
        help(this, m_sLanguageFile, *m_pFont);
        return;
    }
    CHelpDlg dialog(QString::fromStdU16String(m_sLanguageFile), *m_pFont, this);
    dialog.exec();
}

void CDBSQLDlg::OnExit()
{
    accept();
}

// The main window with a filled table list, the same with each of its menus
// open, after a failed attach and grown, and the database selection.
#include "ScreenshotRegistry.h"

#include "app/CRowmoverDlg.h"
#include "sqleditor/CDBSelectDlg.h"
#include "support/CTempDatabase.h"
#include "ui/CMessageBox.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <QTreeWidget>

namespace
{
const char kSource[] = "CREATE TABLE CUSTOMER (ID INTEGER); CREATE TABLE ORDERS (ID INTEGER);"
                       "CREATE TABLE ARTICLE (ID INTEGER); CREATE TABLE STOCK (ID INTEGER);";
const char kDest[] = "CREATE TABLE CUSTOMER (ID INTEGER); CREATE TABLE ORDERS (ID INTEGER);"
                     "CREATE TABLE ARTICLE (ID INTEGER); CREATE TABLE STOCK (ID INTEGER);"
                     "CREATE GENERATOR GEN_CUSTOMER; SET GENERATOR GEN_CUSTOMER TO 17;"
                     "CREATE GENERATOR GEN_ORDERS; SET GENERATOR GEN_ORDERS TO 1204;"
                     "SET TERM ^ ;"
                     "CREATE TRIGGER CUSTOMER_BI FOR CUSTOMER BEFORE INSERT AS "
                     "BEGIN NEW.ID = GEN_ID(GEN_CUSTOMER, 1); END^"
                     "CREATE TRIGGER ORDERS_BI FOR ORDERS BEFORE INSERT AS "
                     "BEGIN NEW.ID = GEN_ID(GEN_ORDERS, 1); END^"
                     "CREATE TRIGGER ORDERS_AU FOR ORDERS AFTER UPDATE AS BEGIN END^"
                     "SET TERM ; ^";

struct SMainInputs
{
    std::unique_ptr<CTempDatabase> source;
    std::unique_ptr<CTempDatabase> dest;
};

// The program folder of the shot: the language files, so that the window
// finds the language asked for as its default.
QString ProgramFolder(SScreenshotContext& context)
{
    const QString folder = context.sSampleDir + "/program/";
    QDir().mkpath(folder);
    for (const QString& name : QDir(context.sProgramDir).entryList({"*.lng", "*.txt"}, QDir::Files))
        QFile::copy(context.sProgramDir + "/" + name, folder + name);
    const QString language = context.sLanguageFile.isEmpty() ? QStringLiteral("English") : QStringLiteral("Deutsch");
    QFile list(folder + "Languages.ini");
    if (list.open(QIODevice::WriteOnly))
        list.write(
            ("LanguageDefault=\"" + language + "\"\r\nLanguageName=\"Deutsch\"\r\nLanguageFile=\"German.lng\"\r\n")
                .toUtf8());
    return folder;
}

// serverPrefix: put in front of both files, as Browse and drops do.
std::unique_ptr<CRowmoverDlg> MakeMainWindow(SScreenshotContext& context, const std::string& serverPrefix = {})
{
    SMainInputs& inputs = context.Keep(std::make_shared<SMainInputs>());
    inputs.source = std::make_unique<CTempDatabase>(kSource, CTempDatabase::SOptions{"UTF8", false, "shop_2018.fdb"});
    inputs.dest = std::make_unique<CTempDatabase>(kDest, CTempDatabase::SOptions{"UTF8", false, "shop_2019.fdb"});
    // The settings of the shot stay in the scratch folder.
    qputenv("XDG_CONFIG_HOME", (context.sSampleDir + "/config").toUtf8());
    qputenv("XDG_DATA_DIRS", (context.sSampleDir + "/share").toUtf8());
    auto dialog = std::make_unique<CRowmoverDlg>((ProgramFolder(context) + "rowmover").toStdString(),
                                                 std::vector<std::string>{"rowmover"});
    dialog->m_sSourceDb = QString::fromStdString(serverPrefix + inputs.source->Name()).toStdU16String();
    dialog->m_sDestDb = QString::fromStdString(serverPrefix + inputs.dest->Name()).toStdU16String();
    dialog->RefreshTableList();
    if (QTreeWidgetItem* second = dialog->findChild<QTreeWidget*>("m_LISSourceTables")->topLevelItem(1))
        second->setSelected(true);
    return dialog;
}

const SScreenshotRegistration kMainWindow("CRowmoverDlg", [](SScreenshotContext& context) {
    return std::unique_ptr<QWidget>(MakeMainWindow(context));
});

// After another source that cannot be attached: its label marked, the list
// empty. The message box is answered unseen.
const SScreenshotRegistration kAttachFailed("CRowmoverDlg_AttachFailed", [](SScreenshotContext& context) {
    std::unique_ptr<CRowmoverDlg> dialog = MakeMainWindow(context);
    dialog->SetDatabase(CRowmoverState::ESide::Source,
                        (context.sSampleDir + QStringLiteral("/shop_2017.fdb")).toStdU16String());
    CMessageBox::SetNextAnswer(QMessageBox::Ok);
    dialog->RefreshTableList();
    return std::unique_ptr<QWidget>(std::move(dialog));
});

// Grown by a third: the table list takes the room. The files are named
// through a server on this computer that does not answer, so the status
// line says that they are opened directly.
const SScreenshotRegistration kResized("CRowmoverDlg_Resized", [](SScreenshotContext& context) {
    std::unique_ptr<CRowmoverDlg> dialog = MakeMainWindow(context, "localhost:");
    dialog->resize(dialog->sizeHint() * 4 / 3);
    return std::unique_ptr<QWidget>(std::move(dialog));
});

// After a copy: the line of its result below the table list, with the link
// to its run log.
const SScreenshotRegistration kLastRun("CRowmoverDlg_LastRun", [](SScreenshotContext& context) {
    std::unique_ptr<CRowmoverDlg> dialog = MakeMainWindow(context);
    dialog->m_bAskBeforeCopy = false;
    dialog->show();
    QEventLoop loop;
    QObject::connect(dialog.get(), &CRowmoverDlg::copyFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    dialog->OnCopy();
    if (dialog->IsCopyRunning())
        loop.exec();
    return std::unique_ptr<QWidget>(std::move(dialog));
});

// A menu is a window of its own: the shot is the main window with the open
// menu drawn where it pops up, the entry highlighted as under the mouse.
std::unique_ptr<QWidget> MainWindowWithMenu(SScreenshotContext& context, const char* menuName, const char* entryName)
{
    std::unique_ptr<CRowmoverDlg> dialog = MakeMainWindow(context);
    dialog->show();
    QApplication::processEvents();
    auto* bar = dialog->findChild<QMenuBar*>("m_pMenuBar");
    auto* menu = dialog->findChild<QMenu*>(QString::fromLatin1(menuName));
    bar->setActiveAction(menu->menuAction());
    QApplication::processEvents();
    menu->setActiveAction(menu->findChild<QAction*>(QString::fromLatin1(entryName)));
    QApplication::processEvents();

    const QPixmap window = dialog->grab();
    const QPixmap popup = menu->grab();
    const QPoint at = menu->pos() - dialog->mapToGlobal(QPoint(0, 0));
    const QRect area = QRect(QPoint(0, 0), window.size()).united(QRect(at, popup.size()));
    QPixmap shot(area.size());
    shot.fill(Qt::transparent);
    {
        QPainter painter(&shot);
        painter.drawPixmap(-area.topLeft(), window);
        painter.drawPixmap(at - area.topLeft(), popup);
    }
    menu->hide();

    auto picture = std::make_unique<QLabel>();
    picture->setObjectName(QStringLiteral("MainWindowMenu"));
    picture->setWindowTitle(dialog->windowTitle());
    picture->setWindowIcon(dialog->windowIcon());
    picture->setPixmap(shot);
    picture->setFixedSize(shot.size());
    std::shared_ptr<CRowmoverDlg> kept(dialog.release());
    context.Keep(kept);
    kept->hide();
    return picture;
}

const SScreenshotRegistration kFileMenu("CRowmoverDlg_FileMenu", [](SScreenshotContext& context) {
    return MainWindowWithMenu(context, "ID_MEN_FILE", "ID_MEN_COPY");
});

const SScreenshotRegistration kTablesMenu("CRowmoverDlg_TablesMenu", [](SScreenshotContext& context) {
    return MainWindowWithMenu(context, "ID_MEN_TABLES", "ID_MEN_SELECTALL");
});

const SScreenshotRegistration kHelpMenu("CRowmoverDlg_HelpMenu", [](SScreenshotContext& context) {
    return MainWindowWithMenu(context, "ID_MEN_HELPMENU", "ID_MEN_HELP");
});

const SScreenshotRegistration kViewMenu("CRowmoverDlg_ViewMenu", [](SScreenshotContext& context) {
    return MainWindowWithMenu(context, "ID_MEN_VIEW", "ID_MEN_GENERALLOG");
});

struct SSelectInputs
{
    std::u16string languageFile;
    std::u16string database = u"localhost:/srv/firebird/shop_2019.fdb";
    std::u16string user = u"SYSDBA";
    std::u16string password = u"velvetoak";
    std::u16string defaultUser = u"SYSDBA";
    std::u16string defaultPassword = u"velvetoak";
    CStringGrid recent;
    SWindowRect rect;
    std::unique_ptr<SSelectDatabaseArgs> args;
};

std::unique_ptr<QWidget> MakeSelectDatabase(SScreenshotContext& context, CDBSelectDlg::ERole role)
{
    SSelectInputs& inputs = context.Keep(std::make_shared<SSelectInputs>());
    inputs.languageFile = context.sLanguageFile.toStdU16String();
    inputs.recent.SetSize(2, 26);
    inputs.recent.SetCell(0, 0, "localhost:/srv/firebird/shop_2019.fdb");
    inputs.recent.SetCell(0, 1, "/home/anne/shop_2018.fdb");
    inputs.args = std::make_unique<SSelectDatabaseArgs>(
        SSelectDatabaseArgs{inputs.languageFile, *context.pFont, inputs.database, inputs.user, inputs.password, true,
                            inputs.defaultUser, inputs.defaultPassword, 1, true, inputs.recent, true, inputs.rect});
    return std::make_unique<CDBSelectDlg>(*inputs.args, nullptr, role);
}

const SScreenshotRegistration kSelectDatabase("CDBSelectDlg", [](SScreenshotContext& context) {
    return MakeSelectDatabase(context, CDBSelectDlg::ERole::Any);
});

// As the main window's destination Select opens it, with the longest caption.
const SScreenshotRegistration kSelectDestination("CDBSelectDlg_Destination", [](SScreenshotContext& context) {
    return MakeSelectDatabase(context, CDBSelectDlg::ERole::Destination);
});
} // namespace

// The copy progress window during a run and after it, on temporary databases.
#include "ScreenshotRegistry.h"

#include "app/CDBCopyDlg.h"
#include "copy/run/CCopyEngine.h"
#include "db/CFbConnection.h"
#include "support/CTempDatabase.h"
#include "ui/CMessageBox.h"

#include <QEventLoop>
#include <QLabel>
#include <QTimer>

#include <ibase.h>

#include <chrono>
#include <thread>

namespace
{
const char kShop[] = "CREATE TABLE CUSTOMERS (ID INTEGER, NAME VARCHAR(40));"
                     "CREATE TABLE ORDERS (ID INTEGER, CUSTOMER_ID INTEGER);"
                     "CREATE TABLE ORDER_ITEMS (ID INTEGER, ORDER_ID INTEGER, QTY INTEGER);"
                     "CREATE TABLE PRODUCTS (ID INTEGER, TITLE VARCHAR(40));";
const char kShopRows[] = "INSERT INTO CUSTOMERS VALUES (1, 'Ann Archer');"
                         "INSERT INTO ORDERS VALUES (7, 1);"
                         "INSERT INTO ORDER_ITEMS VALUES (70, 7, 2);"
                         "INSERT INTO PRODUCTS VALUES (5, 'Tea');";
// The new design's ORDERS lost the column the copy orders the rows by.
const char kNewShop[] = "CREATE TABLE CUSTOMERS (ID INTEGER, NAME VARCHAR(40));"
                        "CREATE TABLE ORDERS (CUSTOMER_ID INTEGER);"
                        "CREATE TABLE ORDER_ITEMS (ID INTEGER, ORDER_ID INTEGER, QTY INTEGER);"
                        "CREATE TABLE PRODUCTS (ID INTEGER, TITLE VARCHAR(40));"
                        "INSERT INTO ORDER_ITEMS VALUES (1, 1, 1);";

// Two databases, an engine prepared for a copy between them and the tables
// of the run; optionally a row lock that holds the copy inside ORDER_ITEMS.
struct SCopyScene
{
    SCopyScene() : source(std::string(kShop) + kShopRows), dest(kNewShop), lock(1)
    {
        engine.Init(TestUser, TestPassword, 1);
        engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", false, program.Path(), false);
        tables.SetSize(1, 0);
        for (const char* name : {"CUSTOMERS", "ORDERS", "ORDER_ITEMS", "PRODUCTS"})
        {
            tables.SetCell(0, tables.RowCount(), name);
            tables.AddRows(1);
        }
    }
    ~SCopyScene()
    {
        if (releaser.joinable())
            releaser.join();
        ReleaseLock();
    }
    SCopyScene(const SCopyScene&) = delete;
    SCopyScene& operator=(const SCopyScene&) = delete;

    void LockOrderItems()
    {
        int failure = 0;
        if (lock.Connect(TestUser, TestPassword, dest.Name()))
            lock.Execute("UPDATE ORDER_ITEMS SET QTY = QTY", failure);
    }
    void ReleaseLock()
    {
        lock.Rollback();
        lock.Disconnect();
    }
    // Lets the held copy go on soon after the picture has been taken; the
    // window waits for it when it closes.
    void ReleaseLockLater()
    {
        releaser = std::thread([this] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            ReleaseLock();
        });
    }

    CTempDatabase source;
    CTempDatabase dest;
    CTempFolder program;
    CCopyEngine engine;
    CStringGrid tables;
    CFbConnection lock;
    std::thread releaser;
};

std::unique_ptr<CDBCopyDlg> MakeWindow(SScreenshotContext& context, SCopyScene& scene)
{
    auto dialog = std::make_unique<CDBCopyDlg>();
    dialog->Create(nullptr, *context.pFont);
    dialog->show();
    dialog->SetLanguageFile(context.sLanguageFile);
    dialog->Setup(CCopyJob{&scene.tables, &scene.engine, ELogging::On, false, {}});
    return dialog;
}

const SScreenshotRegistration kRunning("CDBCopyDlg_Running", [](SScreenshotContext& context) {
    SCopyScene& scene = context.Keep(std::make_shared<SCopyScene>());
    scene.LockOrderItems();
    std::unique_ptr<CDBCopyDlg> dialog = MakeWindow(context, scene);
    QEventLoop loop;
    QObject::connect(dialog.get(), &CDBCopyDlg::tableStarted, &loop, [&](int index) {
        if (index == 2)
            loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    dialog->Start();
    loop.exec();
    scene.ReleaseLockLater();
    return std::unique_ptr<QWidget>(std::move(dialog));
});

// A table of many rows in the middle of its copy: its rows, speed and time
// left, and the bar within it.
struct SLongScene
{
    SLongScene()
        : source("CREATE TABLE CUSTOMERS (ID INTEGER, NAME VARCHAR(40)); CREATE TABLE ORDERS (ID INTEGER, NOTE "
                 "VARCHAR(40)); INSERT INTO CUSTOMERS VALUES (1, 'Ann Archer');"
                 "SET TERM ^ ; EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 100000) DO BEGIN"
                 " INSERT INTO ORDERS VALUES (:I, 'order ' || :I); I = I + 1; END END^ SET TERM ; ^"),
          // The destination's CHECK reads a system table for every row: a
          // slow disk, as it were, so the picture finds the table in progress.
          dest("CREATE TABLE CUSTOMERS (ID INTEGER, NAME VARCHAR(40)); CREATE TABLE ORDERS (ID INTEGER, NOTE "
               "VARCHAR(40), CHECK (ID >= -(SELECT COUNT(*) FROM RDB$FIELDS)));")
    {
        engine.Init(TestUser, TestPassword, 1);
        engine.PrepareCopy(source.Name(), "", "", dest.Name(), "", "", false, program.Path(), false);
        engine.EditSettings().maxBatchRows = 1; // slow enough to be seen in the middle
        engine.EditSettings().verify = false;
        tables.SetSize(1, 0);
        for (const char* name : {"CUSTOMERS", "ORDERS"})
        {
            tables.SetCell(0, tables.RowCount(), name);
            tables.AddRows(1);
        }
    }

    CTempDatabase source;
    CTempDatabase dest;
    CTempFolder program;
    CCopyEngine engine;
    CStringGrid tables;
};

std::unique_ptr<QWidget> InTheMiddleOfATable(SScreenshotContext& context, bool stopPressed)
{
    SLongScene& scene = context.Keep(std::make_shared<SLongScene>());
    auto dialog = std::make_unique<CDBCopyDlg>();
    dialog->Create(nullptr, *context.pFont);
    dialog->show();
    dialog->SetLanguageFile(context.sLanguageFile);
    dialog->Setup(CCopyJob{&scene.tables, &scene.engine, ELogging::On, false, {}});
    auto* state = dialog->findChild<QLabel*>("m_lblState");
    auto* clock = dialog->findChild<QLabel*>("m_lblTime");
    QEventLoop loop;
    QTimer poll;
    // Taken once the speed and the time left are known and the clock has moved.
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (state->text().startsWith("ORDERS") && clock->text() != QStringLiteral("00:00:00") &&
            state->text().count(QChar(':')) >= 2)
            loop.quit();
    });
    poll.start(20);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    dialog->Start();
    loop.exec();
    // STOP pressed once: the state line says so and the button offers the abort.
    if (stopPressed)
        dialog->OnStop();
    return std::unique_ptr<QWidget>(std::move(dialog));
}

const SScreenshotRegistration kInTable("CDBCopyDlg_InTable",
                                       [](SScreenshotContext& context) { return InTheMiddleOfATable(context, false); });
const SScreenshotRegistration kStopping("CDBCopyDlg_Stopping",
                                        [](SScreenshotContext& context) { return InTheMiddleOfATable(context, true); });

const SScreenshotRegistration kFinished("CDBCopyDlg_Finished", [](SScreenshotContext& context) {
    SCopyScene& scene = context.Keep(std::make_shared<SCopyScene>());
    std::unique_ptr<CDBCopyDlg> dialog = MakeWindow(context, scene);
    // The summary box of the failed table is answered unseen.
    CMessageBox::SetNextAnswer(QMessageBox::Ok);
    dialog->Start();
    dialog->WaitForEnd(60000);
    return std::unique_ptr<QWidget>(std::move(dialog));
});
} // namespace

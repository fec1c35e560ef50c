// The SQL editor with a result, on a temporary database.
#include "ScreenshotRegistry.h"

#include "sqleditor/CDBSQLDlg.h"

#include "support/CTempDatabase.h"
#include <functional>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QThread>
#include <QTreeView>

namespace
{
const char kPeople[] = "CREATE TABLE CUSTOMERS (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), CITY VARCHAR(30));"
                       "CREATE TABLE ORDERS (ID INTEGER NOT NULL PRIMARY KEY, CUSTOMER_ID INTEGER, QTY INTEGER);"
                       "INSERT INTO CUSTOMERS VALUES (1, 'Ann Archer', 'Köln');"
                       "INSERT INTO CUSTOMERS VALUES (2, 'Bob O''Neil', NULL);"
                       "INSERT INTO CUSTOMERS VALUES (3, 'Cid Cooper', 'Bonn');";

// Lets the editor's thread work until done says so (at most ms).
void WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

struct SEditorInputs
{
    std::unique_ptr<CTempDatabase> db;
    CStringGrid recent;
    SWindowRect rect{0, 0, 760, 520};
};

const SScreenshotRegistration kSqlEditor("CDBSQLDlg", [](SScreenshotContext& context) {
    SEditorInputs& inputs = context.Keep(std::make_shared<SEditorInputs>());
    inputs.db = std::make_unique<CTempDatabase>(kPeople);
    auto editor =
        std::make_unique<CDBSQLDlg>(context.sLanguageFile.toStdU16String(), *context.pFont,
                                    QString::fromStdString(inputs.db->Name()).toStdU16String(), u"SYSDBA", u"velvetoak",
                                    u"", u"SYSDBA", u"velvetoak", 1, true, inputs.recent, true, inputs.rect, false);
    editor->setWindowTitle(QStringLiteral("customers.fdb"));
    editor->findChild<QCheckBox*>("m_CHKMultiline")->setChecked(true);
    editor->findChild<QPlainTextEdit*>("m_EDTStatement")
        ->setPlainText(QStringLiteral("SELECT ID, NAME, CITY -- all customers\nFROM CUSTOMERS\n"
                                      "WHERE NAME <> 'Zoe' ORDER BY ID"));
    editor->OnExecute();
    WaitFor([&] { return !editor->IsBusy(); }, 20000);
    // Bob's city is NULL: the grid shows it greyed, apart from an empty text.
    auto* grid = editor->findChild<QTreeView*>("m_LISResult");
    grid->selectionModel()->select(grid->model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    return std::unique_ptr<QWidget>(std::move(editor));
});

// While a long query runs: the elapsed time, Cancel, the Execute button held.
const SScreenshotRegistration kSqlEditorBusy("CDBSQLDlg_busy", [](SScreenshotContext& context) {
    SEditorInputs& inputs = context.Keep(std::make_shared<SEditorInputs>());
    inputs.db = std::make_unique<CTempDatabase>(kPeople);
    auto editor =
        std::make_unique<CDBSQLDlg>(context.sLanguageFile.toStdU16String(), *context.pFont,
                                    QString::fromStdString(inputs.db->Name()).toStdU16String(), u"SYSDBA", u"velvetoak",
                                    u"", u"SYSDBA", u"velvetoak", 1, true, inputs.recent, true, inputs.rect, false);
    editor->setWindowTitle(QStringLiteral("customers.fdb"));
    editor->findChild<QCheckBox*>("m_CHKMultiline")->setChecked(true);
    editor->findChild<QPlainTextEdit*>("m_EDTStatement")
        ->setPlainText(QStringLiteral("SELECT COUNT(*)\nFROM RDB$FIELDS A, RDB$FIELDS B,\n"
                                      "     RDB$FIELDS C, RDB$FIELDS D"));
    editor->OnExecute();
    // Closing the editor after the picture cancels the query.
    QElapsedTimer clock;
    clock.start();
    WaitFor([&] { return clock.elapsed() >= 2300; }, 2300);
    return std::unique_ptr<QWidget>(std::move(editor));
});
} // namespace

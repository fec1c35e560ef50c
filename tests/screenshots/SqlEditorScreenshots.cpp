// The SQL editor with a result, on a temporary database.
#include "ScreenshotRegistry.h"

#include "sqleditor/CDBSQLDlg.h"
#include "support/CTempDatabase.h"

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace
{
const char kPeople[] = "CREATE TABLE CUSTOMERS (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), CITY VARCHAR(30));"
                       "CREATE TABLE ORDERS (ID INTEGER NOT NULL PRIMARY KEY, CUSTOMER_ID INTEGER, QTY INTEGER);"
                       "INSERT INTO CUSTOMERS VALUES (1, 'Ann Archer', 'Köln');"
                       "INSERT INTO CUSTOMERS VALUES (2, 'Bob O''Neil', NULL);"
                       "INSERT INTO CUSTOMERS VALUES (3, 'Cid Cooper', 'Bonn');";

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
    if (QTreeWidgetItem* second = editor->findChild<QTreeWidget*>("m_LISResult")->topLevelItem(1))
        second->setSelected(true);
    return std::unique_ptr<QWidget>(std::move(editor));
});
} // namespace

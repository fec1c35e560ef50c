#include "sqleditor/CDBSQLDlg.h"

#include "sqleditor/CSqlHighlighter.h"
#include "support/CTempDatabase.h"
#include "ui/CFontSettings.h"
#include "ui/CMessageBox.h"
#include "ui/FileDialogs.h"
#include "ui/Mnemonics.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTreeView>
#include <QTreeWidget>

#include <fstream>
#include <iterator>
#include <memory>

namespace
{
const char* const Shop = R"(
CREATE TABLE ALPHA (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20));
INSERT INTO ALPHA VALUES (1, 'one');
CREATE TABLE BETA (CODE VARCHAR(10) NOT NULL PRIMARY KEY, QTY INTEGER);
INSERT INTO BETA VALUES ('b1', 10);
INSERT INTO BETA VALUES ('b2', 20);
INSERT INTO BETA VALUES ('b3', 30);
CREATE TABLE PERSON (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(40), AGE INTEGER);
INSERT INTO PERSON VALUES (1, 'Ann', 30);
INSERT INTO PERSON VALUES (2, 'O''Neil', NULL);
INSERT INTO PERSON VALUES (3, 'Cid', 52);
INSERT INTO PERSON VALUES (4, 'Dee', 63);
CREATE TABLE LOG_ENTRY (TXT VARCHAR(20));
)";

std::string Bytes(const QString& path)
{
    std::ifstream file(path.toStdString(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const QString& path, const std::string& bytes)
{
    std::ofstream file(path.toStdString(), std::ios::binary);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
} // namespace

class CDBSQLDlgTest : public QObject
{
    Q_OBJECT

  public:
    // The editor on database, as opened from a table list (no question).
    std::unique_ptr<CDBSQLDlg> Open(const std::string& database, const std::string& table = {},
                                    bool askForDatabase = false)
    {
        auto editor =
            std::make_unique<CDBSQLDlg>(m_sLanguageFile, *m_pFont, QString::fromStdString(database).toStdU16String(),
                                        u"SYSDBA", u"velvetoak", QString::fromStdString(table).toStdU16String(),
                                        u"SYSDBA", u"velvetoak", 1, true, m_recent, true, m_rect, askForDatabase);
        WaitIdle(editor.get());
        return editor;
    }

    template <typename T> static T* Child(QWidget* editor, const char* name)
    {
        T* child = editor->findChild<T*>(name);
        if (child == nullptr)
            qFatal("no child %s", name);
        return child;
    }

    static QString Statement(QWidget* editor) { return Child<QPlainTextEdit>(editor, "m_EDTStatement")->toPlainText(); }
    static bool Multiline(QWidget* editor) { return Child<QCheckBox>(editor, "m_CHKMultiline")->isChecked(); }
    static QTreeView* Result(QWidget* editor) { return Child<QTreeView>(editor, "m_LISResult"); }
    static int RowCount(QWidget* editor) { return Result(editor)->model()->rowCount(); }
    static int ColumnCount(QWidget* editor) { return Result(editor)->model()->columnCount(); }

    // Statements run on the session's thread: waits (bounded) until the
    // editor is idle again.
    static bool WaitIdle(QWidget* editor, int milliseconds = 20000)
    {
        auto* dialog = static_cast<CDBSQLDlg*>(editor);
        return QTest::qWaitFor([dialog] { return !dialog->IsBusy(); }, milliseconds);
    }

    static void Type(QWidget* editor, const QString& text, bool multiline)
    {
        Child<QCheckBox>(editor, "m_CHKMultiline")->setChecked(multiline);
        Child<QPlainTextEdit>(editor, "m_EDTStatement")->setPlainText(text);
    }

    static void Execute(QWidget* editor)
    {
        QTest::mouseClick(Child<QPushButton>(editor, "m_BTNExecute"), Qt::LeftButton);
        if (!WaitIdle(editor))
            qWarning("the editor is still busy");
    }

    static void Trigger(QWidget* editor, const char* action)
    {
        Child<QAction>(editor, action)->trigger();
        if (!WaitIdle(editor))
            qWarning("the editor is still busy");
    }

    static QStringList Row(QWidget* editor, int row)
    {
        QStringList cells;
        QAbstractItemModel* model = Result(editor)->model();
        for (int c = 0; row < model->rowCount() && c < model->columnCount(); ++c)
            cells << model->data(model->index(row, c)).toString();
        return cells;
    }

    static QStringList Titles(QWidget* editor)
    {
        QStringList titles;
        QAbstractItemModel* model = Result(editor)->model();
        for (int c = 0; c < model->columnCount(); ++c)
            titles << model->headerData(c, Qt::Horizontal).toString();
        return titles;
    }

    // Puts a known text into the last-message record, so that a test can see
    // whether a command showed a box of its own.
    static void MarkMessages() { CMessageBox::ShowError(nullptr, "(no box)", "(none)"); }

    static void SelectRows(QWidget* editor, std::initializer_list<int> rows)
    {
        Result(editor)->clearSelection();
        QAbstractItemModel* model = Result(editor)->model();
        for (int row : rows)
            Result(editor)->selectionModel()->select(model->index(row, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

  private slots:
    void init()
    {
        m_owner = std::make_unique<QWidget>();
        m_pFont = std::make_unique<CFontSettings>(m_owner.get());
        m_rect = SWindowRect{};
        m_sLanguageFile.clear();
        m_db = std::make_unique<CTempDatabase>(Shop);
        CDBSQLDlg::SetSelectDatabase({});
    }

    void cleanup()
    {
        CDBSQLDlg::SetSelectDatabase({});
        m_db.reset();
    }

    void StartListsTheTablesSortedAndShowsTheGivenTable()
    {
        auto editor = Open(m_db->Name(), "BETA");
        QVERIFY(editor->IsAttached());
        QCOMPARE(editor->windowTitle(), QString::fromStdString(m_db->Name()));
        auto* tables = Child<QTreeWidget>(editor.get(), "m_LISTables");
        QStringList names;
        for (int i = 0; i < tables->topLevelItemCount(); ++i)
            names << tables->topLevelItem(i)->text(0);
        QCOMPARE(names, (QStringList{"ALPHA", "BETA", "LOG_ENTRY", "PERSON"}));
        QCOMPARE(tables->headerItem()->text(0), QString("Table name"));
        QCOMPARE(Statement(editor.get()), QString("SELECT * FROM BETA"));
        QCOMPARE(Titles(editor.get()), (QStringList{"CODE", "QTY"}));
        QCOMPARE(RowCount(editor.get()), 3);
        QCOMPARE(Row(editor.get(), 2), (QStringList{"b3", "30"}));
        QCOMPARE(editor->CurrentTableName(), std::string("BETA"));
    }

    void LineModeRunsEveryLineAndShowsTheLastResult()
    {
        auto editor = Open(m_db->Name());
        Type(editor.get(), "INSERT INTO LOG_ENTRY VALUES ('ran')\nSELECT * FROM ALPHA\nSELECT * FROM BETA", false);
        Execute(editor.get());
        QCOMPARE(Titles(editor.get()), (QStringList{"CODE", "QTY"}));
        QCOMPARE(RowCount(editor.get()), 3);
        QCOMPARE(Row(editor.get(), 0), (QStringList{"b1", "10"}));
        QCOMPARE(editor->CurrentTableName(), std::string("BETA"));
        editor.reset();
        QCOMPARE(m_db->Scalar("SELECT COUNT(*) FROM LOG_ENTRY"), std::string("1"));
    }

    void AnEmptyLineStopsAndLeavesTheGridEmpty()
    {
        auto editor = Open(m_db->Name(), "ALPHA");
        Type(editor.get(), "INSERT INTO LOG_ENTRY VALUES ('first')\n\nINSERT INTO LOG_ENTRY VALUES ('second')", false);
        Execute(editor.get());
        QCOMPARE(RowCount(editor.get()), 0);
        QCOMPARE(ColumnCount(editor.get()), 0);
        editor.reset();
        QCOMPARE(m_db->Query("SELECT TXT FROM LOG_ENTRY"), (std::vector<std::vector<std::string>>{{"first"}}));
    }

    void TrailingEmptyLinesNeverHideTheResult()
    {
        auto editor = Open(m_db->Name());
        for (const char* text : {"SELECT * FROM BETA\n", "SELECT * FROM BETA\n\n  \n"})
        {
            Type(editor.get(), text, false);
            Execute(editor.get());
            QCOMPARE(RowCount(editor.get()), 3);
            QCOMPARE(Child<QLabel>(editor.get(), "m_LBLStatus")->text(), QString("3 rows"));
        }
    }

    void AStatementWithoutResultShowsNoEarlierRows()
    {
        auto editor = Open(m_db->Name(), "BETA");
        QCOMPARE(RowCount(editor.get()), 3);
        Type(editor.get(), "INSERT INTO LOG_ENTRY VALUES ('x')", false);
        Execute(editor.get());
        QCOMPARE(RowCount(editor.get()), 0);
        QCOMPARE(editor->CurrentTableName(), std::string());
    }

    void MultilineRunsTheWholeTextOnce()
    {
        auto editor = Open(m_db->Name());
        Type(editor.get(), "SELECT CODE, QTY\nFROM BETA\nWHERE QTY > 15 ORDER BY CODE", true);
        Execute(editor.get());
        QCOMPARE(RowCount(editor.get()), 2);
        QCOMPARE(Row(editor.get(), 0), (QStringList{"b2", "20"}));
    }

    void ReturnInTheStatementBoxBreaksTheLine()
    {
        auto editor = Open(m_db->Name());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        Type(editor.get(), "SELECT * FROM BETA", false);
        auto* box = Child<QPlainTextEdit>(editor.get(), "m_EDTStatement");
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(Statement(editor.get()), QString("SELECT * FROM BETA\n"));
        QCOMPARE(ColumnCount(editor.get()), 0);
        QVERIFY(editor->isVisible());
    }

    void ExecuteWithAnEmptyBoxDoesNothing()
    {
        auto editor = Open(m_db->Name(), "BETA");
        Type(editor.get(), "", false);
        Execute(editor.get());
        QCOMPARE(RowCount(editor.get()), 3);
    }

    void AClickInTheTablesListShowsTheTable()
    {
        auto editor = Open(m_db->Name());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        auto* tables = Child<QTreeWidget>(editor.get(), "m_LISTables");
        QTreeWidgetItem* alpha = tables->findItems("ALPHA", Qt::MatchExactly).value(0);
        QVERIFY(alpha != nullptr);
        QTest::mouseClick(tables->viewport(), Qt::LeftButton, {}, tables->visualItemRect(alpha).center());
        QVERIFY(WaitIdle(editor.get()));
        QCOMPARE(Statement(editor.get()), QString("SELECT * FROM ALPHA"));
        QCOMPARE(Titles(editor.get()), (QStringList{"ID", "NAME"}));
        QCOMPARE(Row(editor.get(), 0), (QStringList{"1", "one"}));
    }

    void AFailingStatementShowsTheServerMessageAsDetail()
    {
        auto editor = Open(m_db->Name(), "BETA");
        Type(editor.get(), "SELECT * FROM NO_SUCH_TABLE\nINSERT INTO LOG_ENTRY VALUES ('after')", false);
        Execute(editor.get());
        QCOMPARE(CMessageBox::LastText(), QString("Statement failed!"));
        QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
        QVERIFY2(CMessageBox::LastDetail().contains("NO_SUCH_TABLE"), qPrintable(CMessageBox::LastDetail()));
        QVERIFY(CMessageBox::LastDetail().contains("Table unknown"));
        QCOMPARE(RowCount(editor.get()), 0);
        // The failed statement's rows are gone; nothing is left to export or edit.
        Trigger(editor.get(), "ID_MENSQL_INSERT");
        QCOMPARE(Statement(editor.get()),
                 QString("SELECT * FROM NO_SUCH_TABLE\nINSERT INTO LOG_ENTRY VALUES ('after')"));
        editor.reset();
        QCOMPARE(m_db->Scalar("SELECT COUNT(*) FROM LOG_ENTRY"), std::string("0"));
    }

    void AnAttachFailureAtStartEndsTheEditor()
    {
        auto editor = Open(m_db->Folder().File("missing.fdb"));
        QCOMPARE(CMessageBox::LastText(), QString("Failed to attach database!"));
        QCOMPARE(CMessageBox::LastCaption(), QString("ERROR"));
        QVERIFY(!CMessageBox::LastDetail().isEmpty());
        QVERIFY(editor->EndsAtStart());
        QCOMPARE(editor->exec(), int(QDialog::Rejected));
    }

    void AskingAtStartTakesTheChosenDatabase()
    {
        const std::string name = m_db->Name();
        bool asked = false;
        CDBSQLDlg::SetSelectDatabase([&](QWidget*, SSelectDatabaseArgs& args) {
            asked = true;
            if (!args.database.empty() || args.showSqlEditorButton)
                return false;
            args.database = QString::fromStdString(name).toStdU16String();
            return true;
        });
        auto editor = Open("", {}, true);
        QVERIFY(asked);
        QVERIFY(editor->IsAttached());
        QCOMPARE(Child<QTreeWidget>(editor.get(), "m_LISTables")->topLevelItemCount(), 4);
        QCOMPARE(editor->windowTitle(), QString::fromStdString(name));
    }

    void CancellingTheQuestionLeavesAnEditorThatRunsNothing()
    {
        CDBSQLDlg::SetSelectDatabase([](QWidget*, SSelectDatabaseArgs&) { return false; });
        auto editor = Open("", {}, true);
        QVERIFY(!editor->IsAttached());
        QVERIFY(!editor->EndsAtStart());
        Type(editor.get(), "SELECT * FROM RDB$DATABASE", false);
        Execute(editor.get());
        QCOMPARE(ColumnCount(editor.get()), 0);
    }

    void SelectAttachesTheNewDatabase()
    {
        CTempDatabase other("CREATE TABLE OTHER_ONE (X INTEGER);");
        auto editor = Open(m_db->Name());
        const std::string name = other.Name();
        CDBSQLDlg::SetSelectDatabase([&](QWidget*, SSelectDatabaseArgs& args) {
            args.database = QString::fromStdString(name).toStdU16String();
            return true;
        });
        Trigger(editor.get(), "ID_MENSQL_SELECT");
        auto* tables = Child<QTreeWidget>(editor.get(), "m_LISTables");
        QCOMPARE(tables->topLevelItemCount(), 1);
        QCOMPARE(tables->topLevelItem(0)->text(0), QString("OTHER_ONE"));
    }

    void DeleteRecordOfThreeSelectedRows()
    {
        auto editor = Open(m_db->Name(), "BETA");
        SelectRows(editor.get(), {0, 1, 2});
        Trigger(editor.get(), "ID_MENSQL_DELETE");
        QCOMPARE(Statement(editor.get()), QString("DELETE FROM BETA WHERE CODE='b1';\nDELETE FROM BETA WHERE "
                                                  "CODE='b2';\nDELETE FROM BETA WHERE CODE='b3';"));
        QVERIFY(!Multiline(editor.get()));
        Execute(editor.get());
        editor.reset();
        QCOMPARE(m_db->Scalar("SELECT COUNT(*) FROM BETA"), std::string("0"));
    }

    void ModifyRecordUsesTheUpperRowWithApostrophesAndNulls()
    {
        auto editor = Open(m_db->Name(), "PERSON");
        SelectRows(editor.get(), {3, 1});
        Trigger(editor.get(), "ID_MENSQL_MODIFY");
        QCOMPARE(Statement(editor.get()), QString("UPDATE PERSON SET\nNAME='O''Neil',\nAGE=NULL\nWHERE ID=2;"));
        QVERIFY(Multiline(editor.get()));
        MarkMessages();
        Execute(editor.get());
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        editor.reset();
        QCOMPARE(m_db->Query("SELECT NAME, AGE FROM PERSON WHERE ID=2"),
                 (std::vector<std::vector<std::string>>{{"O'Neil", "<null>"}}));
    }

    void ModifyRecordWithoutSelectionChangesNothing()
    {
        auto editor = Open(m_db->Name(), "PERSON");
        Result(editor.get())->clearSelection();
        Trigger(editor.get(), "ID_MENSQL_MODIFY");
        QCOMPARE(Statement(editor.get()), QString("SELECT * FROM PERSON"));
    }

    void InsertRecordTemplate()
    {
        auto editor = Open(m_db->Name(), "PERSON");
        Trigger(editor.get(), "ID_MENSQL_INSERT");
        QCOMPARE(Statement(editor.get()), QString("INSERT INTO PERSON(\nID,\nNAME,\nAGE\n) VALUES (\n0,\n'',\n0\n);"));
        QVERIFY(Multiline(editor.get()));
    }

    void TableCommands()
    {
        auto editor = Open(m_db->Name());
        Type(editor.get(), "x", true);
        Trigger(editor.get(), "ID_MENSQL_DELETETABLE");
        QCOMPARE(Statement(editor.get()), QString("DROP TABLE TEST_TABLE;"));
        QVERIFY(!Multiline(editor.get()));
        Trigger(editor.get(), "ID_MENSQL_INSERTTABLE");
        QCOMPARE(Statement(editor.get()),
                 QString("CREATE TABLE Test_Table (\nTest_ID INT NOT NULL PRIMARY KEY,\nTest_TextVarChar VARCHAR(25),\n"
                         "Test_TextVarying CHARACTER VARYING(255),\nTest_ValueFloat FLOAT\n);"));
        QVERIFY(Multiline(editor.get()));
        MarkMessages();
        Execute(editor.get());
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
        Trigger(editor.get(), "ID_MENSQL_SYSTEMTABLE");
        QCOMPARE(Statement(editor.get()), QString("SELECT * FROM RDB$RELATIONS;"));
        QVERIFY(!Multiline(editor.get()));
        Execute(editor.get());
        QVERIFY(RowCount(editor.get()) > 10);
        QCOMPARE(editor->CurrentTableName(), std::string("RDB$RELATIONS"));
        Type(editor.get(), "SELECT * FROM TEST_TABLE", false);
        Execute(editor.get());
        Trigger(editor.get(), "ID_MENSQL_DELETETABLE");
        QCOMPARE(Statement(editor.get()), QString("DROP TABLE TEST_TABLE;"));
        MarkMessages();
        Execute(editor.get());
        QCOMPARE(CMessageBox::LastText(), QString("(no box)"));
    }

    void ScriptsOpenAndSave()
    {
        auto editor = Open(m_db->Name());
        const QString folder = QString::fromStdString(m_db->Folder().Path());
        WriteBytes(folder + "zero.sql", std::string("-- Größe\r\nSELECT 1\0DROP TABLE ALPHA", 33));
        Type(editor.get(), "", true);
        SetNextFileDialogAnswer(folder + "zero.sql");
        Trigger(editor.get(), "ID_MENSQL_OPEN");
        QCOMPARE(Statement(editor.get()), QString::fromUtf8("-- Größe\nSELECT 1"));
        QVERIFY(Multiline(editor.get()));

        WriteBytes(folder + "out.sql", std::string(300, 'x'));
        Type(editor.get(), "SELECT *\nFROM ALPHA", true);
        SetNextFileDialogAnswer(folder + "out.sql");
        Trigger(editor.get(), "ID_MENSQL_SAVE");
        QCOMPARE(Bytes(folder + "out.sql"), std::string("SELECT *\r\nFROM ALPHA"));

        SetNextFileDialogAnswer({});
        Trigger(editor.get(), "ID_MENSQL_OPEN");
        QCOMPARE(Statement(editor.get()), QString("SELECT *\nFROM ALPHA"));
    }

    void ExportWritesTheShownResult()
    {
        auto editor = Open(m_db->Name());
        const QString folder = QString::fromStdString(m_db->Folder().Path());
        SetNextFileDialogAnswer(folder + "none.csv");
        Trigger(editor.get(), "ID_MENSQL_EXPORT");
        QCOMPARE(Bytes(folder + "none.csv"), std::string());

        Type(editor.get(), "SELECT ID, NAME, AGE FROM PERSON WHERE ID < 3 ORDER BY ID", false);
        Execute(editor.get());
        SetNextFileDialogAnswer(folder + "people.csv");
        Trigger(editor.get(), "ID_MENSQL_EXPORT");
        QCOMPARE(Bytes(folder + "people.csv"), std::string("ID;NAME;AGE  \r\n1;Ann;30  \r\n2;O'Neil;  \r\n"));
    }

    void TheWindowKeepsItsMinimumSize()
    {
        auto editor = Open(m_db->Name());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        editor->resize(300, 200);
        QTRY_VERIFY(editor->width() >= 540 && editor->height() >= 400);
    }

    void AStoredMaximisedRectangleOpensMaximisedAndTheCloseBoxStoresIt()
    {
        m_rect = SWindowRect{0, 0, -1, -1};
        auto editor = Open(m_db->Name());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        QVERIFY(editor->isMaximized());
        m_rect = SWindowRect{};
        editor->close();
        QCOMPARE(m_rect.right, -1);
        QCOMPARE(m_rect.bottom, -1);
        QCOMPARE(m_rect.left, 0);
    }

    void AStoredRectangleIsRestoredAndOnlyTheCloseBoxStoresIt()
    {
        m_rect = SWindowRect{40, 50, 740, 650};
        auto editor = Open(m_db->Name());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        QCOMPARE(editor->geometry(), QRect(40, 50, 700, 600));
        editor->setGeometry(60, 70, 800, 500);
        Trigger(editor.get(), "ID_MENSQL_EXIT");
        QCOMPARE(editor->result(), int(QDialog::Accepted));
        QCOMPARE(m_rect.left, 40);
        editor->show();
        QTest::keyClick(Child<QPlainTextEdit>(editor.get(), "m_EDTStatement"), Qt::Key_Escape);
        QVERIFY(!editor->isVisible());
        QCOMPARE(m_rect.left, 40);
        editor->show();
        editor->setGeometry(60, 70, 800, 500);
        editor->close();
        QCOMPARE(m_rect.left, 60);
        QCOMPARE(m_rect.top, 70);
        QCOMPARE(m_rect.right, 860);
        QCOMPARE(m_rect.bottom, 570);
    }

    void TheStatementBoxIsFixedPitchAndHighlighted()
    {
        auto editor = Open(m_db->Name());
        auto* box = Child<QPlainTextEdit>(editor.get(), "m_EDTStatement");
        QVERIFY(QFontInfo(box->font()).fixedPitch());
        QCOMPARE(box->font().pixelSize(), QFontInfo(editor->font()).pixelSize() + 1);
        box->setPlainText("SELECT 'from' FROM T -- where");
        auto* highlighter = box->document()->findChild<CSqlHighlighter*>();
        QVERIFY(highlighter != nullptr);
        const QList<QTextLayout::FormatRange> formats = box->document()->firstBlock().layout()->formats();
        auto formatAt = [&](int position) {
            for (const QTextLayout::FormatRange& range : formats)
                if (position >= range.start && position < range.start + range.length)
                    return range.format;
            return QTextCharFormat();
        };
        QCOMPARE(formatAt(0), highlighter->KeywordFormat());
        QCOMPARE(formatAt(8), highlighter->StringFormat());
        QCOMPARE(formatAt(14), highlighter->KeywordFormat());
        QCOMPARE(formatAt(19), QTextCharFormat());
        QCOMPARE(formatAt(24), highlighter->CommentFormat());
    }

    void MenuTextsAndShortcuts()
    {
        auto editor = Open(m_db->Name());
        QCOMPARE(WithoutMnemonic(Child<QAction>(editor.get(), "ID_MENSQL_OPEN")->text()),
                 QString("Open SQL statement\tCtrl+O"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(editor.get(), "ID_MENSQL_EXIT")->text()), QString("Quit\tCtrl+Q"));
        QCOMPARE(Child<QAction>(editor.get(), "ID_MENSQL_REFRESHTABLES")->shortcut(), QKeySequence(Qt::Key_F5));
        QCOMPARE(Child<QAction>(editor.get(), "ID_MENSQL_DELETE")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_D));
        QCOMPARE(Child<QPushButton>(editor.get(), "m_BTNExecute")->text(), QString("Execute"));
        QCOMPARE(Child<QCheckBox>(editor.get(), "m_CHKMultiline")->text(), QString("Multiline"));
    }

    void ShortcutsReachTheCommandsFromTheStatementBox()
    {
        auto editor = Open(m_db->Name(), "PERSON");
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        auto* box = Child<QPlainTextEdit>(editor.get(), "m_EDTStatement");
        box->setFocus();
        QTest::keyClick(box, Qt::Key_I, Qt::ControlModifier);
        QVERIFY(Statement(editor.get()).startsWith("INSERT INTO PERSON("));
    }

    void F1ShowsTheHelp()
    {
        auto editor = Open(m_db->Name());
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
        std::u16string helpLanguage = u"(not called)";
        CDBSQLDlg::SetShowHelp([&](QWidget* parent, const std::u16string& languageFile, CFontSettings&) {
            QCOMPARE(parent, editor.get());
            helpLanguage = languageFile;
        });
        QTest::keyClick(Child<QPlainTextEdit>(editor.get(), "m_EDTStatement"), Qt::Key_F1);
        CDBSQLDlg::SetShowHelp({});
        QVERIFY(helpLanguage.empty());
    }

    // Pictures of the editor with a result, for a person to look at; written
    // only when ROWMOVER_SCREENSHOT_DIR names a folder.
    void Screenshots()
    {
        const QString folder = qEnvironmentVariable("ROWMOVER_SCREENSHOT_DIR");
        if (folder.isEmpty())
            QSKIP("ROWMOVER_SCREENSHOT_DIR is not set");
        QDir().mkpath(folder);
        const std::pair<const char*, std::u16string> languages[] = {
            {"English", u""},
            {"German", QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng").toStdU16String()},
        };
        for (const auto& [name, file] : languages)
        {
            m_sLanguageFile = file;
            m_rect = SWindowRect{0, 0, 760, 520};
            auto editor = Open(m_db->Name());
            editor->setWindowTitle("employee.fdb");
            Type(editor.get(), "SELECT ID, NAME, AGE -- everybody\nFROM PERSON\nWHERE NAME <> 'Zoe' ORDER BY ID", true);
            Execute(editor.get());
            SelectRows(editor.get(), {1});
            editor->show();
            QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
            QVERIFY(editor->grab().save(folder + "/sqleditor-" + name + ".png"));
            QMenu* edit = Child<QMenuBar>(editor.get(), "m_MENSQL")->actions().value(2)->menu();
            edit->popup(editor->mapToGlobal(QPoint(0, 0)));
            QVERIFY(QTest::qWaitForWindowExposed(edit));
            QVERIFY(edit->grab().save(folder + "/sqleditor-menu-" + name + ".png"));
            edit->hide();
        }
    }

    void GermanTexts()
    {
        m_sLanguageFile = QStringLiteral(ROWMOVER_RESOURCE_DIR "German.lng").toStdU16String();
        auto editor = Open(m_db->Name(), "BETA");
        QCOMPARE(Child<QPushButton>(editor.get(), "m_BTNExecute")->text(), QString::fromUtf8("Ausführen"));
        QCOMPARE(WithoutMnemonic(Child<QAction>(editor.get(), "ID_MENSQL_SELECT")->text()), QString("Abfragen"));
        Type(editor.get(), "SELECT * FROM NOTHING_HERE", false);
        Execute(editor.get());
        QCOMPARE(CMessageBox::LastText(), QString("Anweisung fehlgeschlagen!"));
        QCOMPARE(CMessageBox::LastCaption(), QString("FEHLER"));
    }

  private:
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<CFontSettings> m_pFont;
    std::unique_ptr<CTempDatabase> m_db;
    std::u16string m_sLanguageFile;
    CStringGrid m_recent;
    SWindowRect m_rect;
};

QTEST_MAIN(CDBSQLDlgTest)
#include "CDBSQLDlgTest.moc"

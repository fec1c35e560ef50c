#include "ui/CHelpDlg.h"
#include "ui/CFontSettings.h"

#include "config/LanguageTexts.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

namespace
{
QString WriteLanguageFile(const QTemporaryDir& dir, const QByteArray& body)
{
    const QString path = dir.filePath("Test.lng");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(body);
    return path;
}
} // namespace

class CHelpDlgTest : public QObject
{
    Q_OBJECT

  private slots:
    void EnglishManualWithoutLanguageFile()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CHelpDlg dialog({}, font);
        QCOMPARE(dialog.windowTitle(), QString("Help"));
        QCOMPARE(dialog.findChild<QPushButton*>("m_BTNOk")->text(), QString("OK"));
        auto* manual = dialog.findChild<QPlainTextEdit*>("m_LBLHelp");
        QVERIFY(manual != nullptr);
        const QString text = manual->toPlainText();
        // 2270 characters with CR LF line ends: 58 breaks of two characters.
        QCOMPARE(text.size(), 2272 - 58);
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.size(), 59);
        QCOMPARE(lines[0], QString("Manual"));
        QCOMPARE(lines[1], QString());
        QCOMPARE(lines[51], QString("CREATE TABLE Table2 (ColumnA INT NOT NULL PRIMARY KEY, ColumnB VARCHAR(20));"));
        QCOMPARE(lines[57], QString("is also possible to execute multiple SQL statements one after another."));
        QCOMPARE(lines[58], QString());
        QVERIFY(!manual->isReadOnly());
    }

    void FileWithoutManualKeepsTheEnglishManual()
    {
        QTemporaryDir dir;
        const QString path = WriteLanguageFile(dir, "FrmHelp.Caption=\"Hilfe\"\r\nFrmHelp.m_BTNOk=\"Gut\"\r\n");
        QWidget owner;
        CFontSettings font(&owner);
        CHelpDlg dialog(path, font);
        QCOMPARE(dialog.windowTitle(), QString("Hilfe"));
        QCOMPARE(dialog.findChild<QPushButton*>("m_BTNOk")->text(), QString("Gut"));
        const QString english = QString::fromUtf8(LanguageText(ELanguageText::FrmHelp_m_LBLHelp).pszEnglish);
        QCOMPARE(dialog.findChild<QPlainTextEdit*>("m_LBLHelp")->toPlainText(), QString(english).replace("\r\n", "\n"));
    }

    void LanguageFileReplacesTheManualWithItsLineBreaks()
    {
        QTemporaryDir dir;
        const QString path = WriteLanguageFile(dir, "FrmHelp.m_LBLHelp=\"Handbuch\r\n\r\nZeile drei\"\r\n");
        QWidget owner;
        CFontSettings font(&owner);
        CHelpDlg dialog(path, font);
        QCOMPARE(dialog.findChild<QPlainTextEdit*>("m_LBLHelp")->toPlainText(), QString("Handbuch\n\nZeile drei"));
    }

    void EveryManualLineFitsWithoutBreaking()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CHelpDlg dialog({}, font);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* manual = dialog.findChild<QPlainTextEdit*>("m_LBLHelp");
        for (QTextBlock block = manual->document()->begin(); block.isValid(); block = block.next())
            QVERIFY2(block.layout()->lineCount() <= 1, qPrintable(block.text()));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    }

    void TheManualHasNoKnownSlips_data()
    {
        QTest::addColumn<QString>("languageFile");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("English") << QString()
                                 << QStringList{"easily transferred", "You also have the possibility",
                                                "The columns' existence", "the source database's directory",
                                                "SQL statements one after another"};
        QTest::newRow("German") << QString(ROWMOVER_RESOURCE_DIR "German.lng")
                                << QStringList{"Vorhandensein und Reihenfolge der Spalten",
                                               "Sicherung Ihrer Quelldatenbank",
                                               "mehrere SQL-Anweisungen nacheinander"};
    }

    // The manual as shown: no misspelt word, and DELETE and UPDATE samples
    // without the parentheses Firebird would refuse.
    void TheManualHasNoKnownSlips()
    {
        QFETCH(QString, languageFile);
        QFETCH(QStringList, expected);
        QWidget owner;
        CFontSettings font(&owner);
        CHelpDlg dialog(languageFile, font);
        dialog.show();
        const QString text = dialog.findChild<QPlainTextEdit*>("m_LBLHelp")->toPlainText();
        for (const char* slip : {"tranferred", "possiblity", "existance", "statments", "logmode", "databases directory",
                                 "database-design", "mandatory,", "='ValueA');", "SET ("})
            QVERIFY2(!text.contains(QString::fromUtf8(slip)), slip);
        for (const QString& phrase : expected)
            QVERIFY2(text.contains(phrase), qPrintable(phrase));
        QVERIFY(text.contains("DELETE FROM Table WHERE ColumnA='ValueA';\n"));
        QVERIFY(text.contains("UPDATE Table SET ColumnB='ValueB2' WHERE ColumnA='ValueA';\n"));
    }

    void OkCloses()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CHelpDlg dialog({}, font);
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>("m_BTNOk"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(CHelpDlgTest)
#include "CHelpDlgTest.moc"

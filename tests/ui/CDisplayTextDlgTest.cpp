#include "ui/CDisplayTextDlg.h"
#include "ui/CFontSettings.h"
#include "ui/FixedFont.h"
#include "ui/WindowSizes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

namespace
{
void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}
} // namespace

class CDisplayTextDlgTest : public QObject
{
    Q_OBJECT

  private slots:
    void CaptionIsTheFileNameAndTextTheContents()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("run_log.txt");
        WriteFile(path, "line 1\r\nline 2\r\n");
        QWidget owner;
        CFontSettings font(&owner);
        CDisplayTextDlg dialog({}, font, path);
        QCOMPARE(dialog.windowTitle(), QString("run_log.txt"));
        auto* text = dialog.findChild<QPlainTextEdit*>("m_EDTText");
        QVERIFY(text != nullptr);
        QCOMPARE(text->toPlainText(), QString("line 1\nline 2\n"));
        QVERIFY(!text->isReadOnly());
    }

    void WindowsPathGivesItsFileNameAndMissingFileNoText()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CDisplayTextDlg dialog({}, font, "C:\\Logs\\run_log.txt");
        QCOMPARE(dialog.windowTitle(), QString("run_log.txt"));
        QVERIFY(dialog.findChild<QPlainTextEdit*>("m_EDTText")->toPlainText().isEmpty());
    }

    void Utf8TextIsShownAsWritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("txt.txt");
        const QString expected = QString::fromUtf8("Grüße aus Köln – Ελληνικά – 日本語 – 😀");
        WriteFile(path, expected.toUtf8());
        QWidget owner;
        CFontSettings font(&owner);
        CDisplayTextDlg dialog({}, font, path);
        QCOMPARE(dialog.findChild<QPlainTextEdit*>("m_EDTText")->toPlainText(), expected);
    }

    void AHugeLogOpensAtOnceWithItsLastPartAndANote()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("big_sql.txt");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            // 40 MB of numbered lines: the whole would take seconds and
            // hundreds of megabytes in a text box.
            QByteArray block;
            for (int line = 0; line < 400000; ++line)
                block +=
                    QByteArray("INSERT INTO T VALUES (") + QByteArray::number(line) + ", 'some text of the row');\r\n";
            for (int i = 0; i < 2; ++i)
                file.write(block);
            file.write("LAST LINE\r\n");
        }
        const qint64 size = QFileInfo(path).size();
        QVERIFY(size > 4 * CDisplayTextDlg::kShownBytes);
        QWidget owner;
        CFontSettings font(&owner);
        QElapsedTimer clock;
        clock.start();
        CDisplayTextDlg dialog({}, font, path);
        const QString text = dialog.findChild<QPlainTextEdit*>("m_EDTText")->toPlainText();
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(
            text.startsWith(QString("This file is %1 MB long; only its last part is shown.\n\nINSERT INTO T VALUES (")
                                .arg((size + (1 << 20) - 1) >> 20)));
        QVERIFY(text.endsWith("LAST LINE\n"));
        QVERIFY(text.size() <= CDisplayTextDlg::kShownBytes + 200);
    }

    void ALogOpensAtItsEnd()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("run_log.txt");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int line = 0; line < 3000; ++line)
            file.write(QByteArray("<TBL_T                 > Successfully inserted (") + QByteArray::number(line) +
                       ")\r\n\r\n");
        file.write("<TBL_                  > Run summary: the last line (a long one that reaches far to the right of "
                   "the box, so that the view could scroll sideways)\r\n");
        file.close();
        QWidget owner;
        CFontSettings font(&owner);
        CDisplayTextDlg dialog({}, font, path);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* box = dialog.findChild<QPlainTextEdit*>("m_EDTText");
        QScrollBar* bar = box->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(box->horizontalScrollBar()->value(), 0);
        // The last line is in view.
        const QTextBlock last = box->document()->lastBlock().previous();
        QVERIFY(last.text().startsWith("<TBL_                  > Run summary"));
        QCOMPARE(box->cursorForPosition(QPoint(2, box->viewport()->height() - 2)).block().blockNumber() >=
                     last.blockNumber() - 1,
                 true);
    }

    void TheSizeTheUserGaveIsTheSizeItOpensAtNextTime()
    {
        QWidget owner;
        CFontSettings font(&owner);
        {
            CDisplayTextDlg first({}, font, "none.txt");
            first.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            first.resize(913, 577);
            first.close();
        }
        CDisplayTextDlg second({}, font, "none.txt");
        QCOMPARE(second.size(), QSize(913, 577));
        // The sizes go into the settings as text and come back from there.
        const std::string stored = WindowSizesText();
        QVERIFY2(stored.find("CDisplayTextDlg=913x577") != std::string::npos, stored.c_str());
        LoadWindowSizes("");
        QVERIFY(!RememberedWindowSize("CDisplayTextDlg").isValid());
        LoadWindowSizes(stored + ";broken;x=0x5;y=12");
        QCOMPARE(RememberedWindowSize("CDisplayTextDlg"), QSize(913, 577));
        QVERIFY(!RememberedWindowSize("x").isValid());
        QCOMPARE(WindowSizesText(), stored);
    }

    void TextBoxUsesAFixedPitchFont()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CDisplayTextDlg dialog({}, font, "none.txt");
        const QFont textFont = dialog.findChild<QPlainTextEdit*>("m_EDTText")->font();
        // Courier New where it is a fixed-pitch face, the system's fixed font
        // otherwise: fixed pitch on any set of fonts.
        QVERIFY2(QFontInfo(textFont).fixedPitch(), qPrintable(QFontInfo(textFont).family()));
        QCOMPARE(textFont, FixedPitchFont(textFont));
        // The dialog's own font stays the user's.
        QVERIFY(dialog.findChild<QPushButton*>("m_BTNOk")->font() != textFont);
    }

    void ResizeKeepsOkCentredAtTheBottomAndTextAboveIt()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CDisplayTextDlg dialog({}, font, "none.txt");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (const QSize size : {QSize(500, 300), QSize(900, 700), QSize(200, 120)})
        {
            dialog.resize(size);
            QApplication::processEvents();
            auto* ok = dialog.findChild<QPushButton*>("m_BTNOk");
            auto* text = dialog.findChild<QPlainTextEdit*>("m_EDTText");
            const QSize client = dialog.size();
            QCOMPARE(ok->x(), (client.width() - ok->width()) / 2);
            QCOMPARE(ok->geometry().bottom() + 1, client.height() - CDisplayTextDlg::kGap);
            QCOMPARE(text->geometry().right() + 1, client.width());
            QCOMPARE(text->geometry().bottom() + 1, ok->y() - CDisplayTextDlg::kGap);
        }
    }

    void OkCloses()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CDisplayTextDlg dialog({}, font, "none.txt");
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>("m_BTNOk"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(CDisplayTextDlgTest)
#include "CDisplayTextDlgTest.moc"

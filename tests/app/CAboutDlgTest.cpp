#include "app/CAboutDlg.h"
#include "app/FirebirdClientVersion.h"

#include "ui/CClickEdit.h"
#include "ui/CFontSettings.h"
#include "ui/ShellOpen.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <QFileInfo>
#include <QRegularExpression>

#include <dlfcn.h>
#include <ibase.h>

class CAboutDlgTest : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { SetShellOpenRecording(true); }
    void init() { ResetShellOpenRecord(); }

    void ShowsProductVersionAndOkText()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CAboutDlg dialog(ProgramVersionText, "Uses Firebird 3.0.4.33054", font, "Fertig");
        QCOMPARE(dialog.windowTitle(), QString("Info"));
        auto* product = dialog.findChild<QLabel*>("m_LBLProduct");
        QCOMPARE(product->text(), QString("Rowmover"));
        QVERIFY(product->font().bold());
        QVERIFY(!dialog.findChild<QLabel*>("m_LBLVersion")->font().bold());
        QCOMPARE(dialog.findChild<QLabel*>("m_LBLVersion")->text(), QString("Version 1.600 (09.01.2019)"));
        QCOMPARE(dialog.findChild<QPushButton*>("m_BTNOk")->text(), QString("Fertig"));
    }

    void ClientLibraryLinkOpensTheFirebirdSite()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CAboutDlg dialog(ProgramVersionText, FirebirdClientText(), font, "OK");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* link = dialog.findChild<CClickEdit*>("m_EDTClientLibrary");
        QVERIFY(link != nullptr);
        QVERIFY(link->text().startsWith("Uses Firebird "));
        QTest::mouseDClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(10, link->height() / 2));
        QCOMPARE(LastShellOpenTarget(), QString("https://firebirdsql.org/"));
        // The whole text is visible.
        QVERIFY(link->width() >= link->fontMetrics().horizontalAdvance(link->text()));
    }

    void NoMakerOrTranslatorRowsUnlessGiven()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CAboutDlg dialog(ProgramVersionText, "Uses Firebird 3.0", font, "OK");
        QCOMPARE(dialog.findChildren<CClickEdit*>().size(), 1);
        QVERIFY(dialog.findChild<QLabel*>("m_LBLTranslator0") == nullptr);
    }

    void GivenRowsAreShownWithTheirTargets()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CAboutDlg dialog(ProgramVersionText, "Uses Firebird 3.0", font, "OK",
                         {{{}, "example.org", "https://example.org/"}},
                         {{"French by:", "A. Translator", "mailto:translator@example.org"}});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.findChild<CClickEdit*>("m_EDTMaker0")->LinkTarget(), QString("https://example.org/"));
        QCOMPARE(dialog.findChild<QLabel*>("m_LBLTranslator0")->text(), QString("French by:"));
        auto* translator = dialog.findChild<CClickEdit*>("m_EDTTranslator0");
        QCOMPARE(translator->text(), QString("A. Translator"));
        QTest::mouseDClick(translator, Qt::LeftButton, Qt::NoModifier, QPoint(5, translator->height() / 2));
        QCOMPARE(LastShellOpenTarget(), QString("mailto:translator@example.org"));
    }

    void VersionTextIsTheFirebirdVersion()
    {
        QCOMPARE(FirebirdVersionFromClientText("LI-V6.3.11.33637 Firebird 3.0"), QString("3.0.11.33637"));
        QCOMPARE(FirebirdVersionFromClientText("WI-V6.3.4.33054 Firebird 3.0"), QString("3.0.4.33054"));
        QCOMPARE(FirebirdVersionFromClientText("LI-V4.0.2.2816 Firebird 4.0"), QString("4.0.2.2816"));
        QCOMPARE(FirebirdVersionFromClientText("Firebird 5.0"), QString("5.0"));
        QCOMPARE(FirebirdVersionFromClientText(" something else "), QString("something else"));
    }

    void VersionIsThatOfTheLoadedLibrary()
    {
        // The loaded library's file carries its version in its name
        // (libfbclient.so.3.0.11): the text must start with it.
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&isc_get_client_version), &info) == 0 || info.dli_fname == nullptr)
            QSKIP("the client library's file is unknown");
        const QString file = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
        const QRegularExpressionMatch match = QRegularExpression("\\.so\\.(\\d+\\.\\d+\\.\\d+)$").match(file);
        if (!match.hasMatch())
            QSKIP("the client library's file name carries no version");
        const QString text = FirebirdClientText();
        QVERIFY2(text.startsWith("Uses Firebird " + match.captured(1) + '.'), qPrintable(text + " / " + file));
    }

    void OkCloses()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CAboutDlg dialog(ProgramVersionText, "Uses Firebird 3.0", font, "OK");
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>("m_BTNOk"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(CAboutDlgTest)
#include "CAboutDlgTest.moc"

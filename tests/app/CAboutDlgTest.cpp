#include "app/CAboutDlg.h"
#include "app/FirebirdClientVersion.h"

#include "ui/CClickEdit.h"
#include "ui/CFontSettings.h"
#include "ui/ShellOpen.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

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
        CAboutDlg dialog(CAboutDlg::kVersionText, "Uses Firebird 3.0.4.33054", font, "Fertig");
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
        CAboutDlg dialog(CAboutDlg::kVersionText, FirebirdClientText(), font, "OK");
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
        CAboutDlg dialog(CAboutDlg::kVersionText, "Uses Firebird 3.0", font, "OK");
        QCOMPARE(dialog.findChildren<CClickEdit*>().size(), 1);
        QVERIFY(dialog.findChild<QLabel*>("m_LBLTranslator0") == nullptr);
    }

    void GivenRowsAreShownWithTheirTargets()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CAboutDlg dialog(CAboutDlg::kVersionText, "Uses Firebird 3.0", font, "OK",
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

    void VersionIsTakenFromTheLoadedClient()
    {
        QCOMPARE(FirebirdVersionFromClientText("LI-V6.3.11.33637 Firebird 3.0", 3, 0), QString("3.0.11.33637"));
        QCOMPARE(FirebirdVersionFromClientText("WI-V3.0.4.33054 Firebird 3.0", 3, 0), QString("3.0.4.33054"));
        QCOMPARE(FirebirdVersionFromClientText("Firebird", 4, 0), QString("4.0"));
        const QString text = FirebirdClientText();
        const QString majorMinor =
            QString::number(isc_get_client_major_version()) + '.' + QString::number(isc_get_client_minor_version());
        QVERIFY2(text.startsWith("Uses Firebird " + majorMinor), qPrintable(text));
    }

    void OkCloses()
    {
        QWidget owner;
        CFontSettings font(&owner);
        CAboutDlg dialog(CAboutDlg::kVersionText, "Uses Firebird 3.0", font, "OK");
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>("m_BTNOk"), Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(CAboutDlgTest)
#include "CAboutDlgTest.moc"

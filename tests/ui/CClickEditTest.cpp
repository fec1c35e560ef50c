#include "ui/CClickEdit.h"
#include "ui/ShellOpen.h"

#include <QApplication>
#include <QTest>

class CClickEditTest : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase() { SetShellOpenRecording(true); }
    void init() { ResetShellOpenRecord(); }

    void StartsReadOnlyWithoutTarget()
    {
        CClickEdit edit;
        QVERIFY(edit.isReadOnly());
        QVERIFY(edit.LinkTarget().isEmpty());
    }

    void WithoutTargetBehavesAsPlainField()
    {
        CClickEdit edit;
        edit.setText("firebird client");
        edit.resize(300, 30);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        const Qt::CursorShape own = edit.cursor().shape();
        QTest::mouseMove(&edit, QPoint(20, 10));
        QCOMPARE(edit.cursor().shape(), own);
        QVERIFY(own != Qt::PointingHandCursor);
        QTest::mouseDClick(&edit, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QCOMPARE(ShellOpenCount(), 0);
        QCOMPARE(edit.selectedText(), QString("firebird"));
    }

    void WithTargetShowsHandAndOpensAndSelects()
    {
        CClickEdit edit;
        edit.setText("project site");
        edit.SetLinkTarget("https://firebirdsql.org/");
        edit.resize(300, 30);
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::mouseMove(&edit, QPoint(20, 10));
        QCOMPARE(edit.cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseDClick(&edit, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10));
        QCOMPARE(ShellOpenCount(), 1);
        QCOMPARE(LastShellOpenTarget(), QString("https://firebirdsql.org/"));
        QCOMPARE(edit.selectedText(), QString("project"));
    }

    void RightDoubleClickOpensNothing()
    {
        CClickEdit edit;
        edit.setText("mail");
        edit.SetLinkTarget("mailto:someone@example.org");
        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::mouseDClick(&edit, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
        QCOMPARE(ShellOpenCount(), 0);
    }

    void ClearingTheTargetRestoresTheFieldsCursor()
    {
        CClickEdit edit;
        const Qt::CursorShape own = edit.cursor().shape();
        edit.SetLinkTarget("https://firebirdsql.org/");
        QCOMPARE(edit.cursor().shape(), Qt::PointingHandCursor);
        edit.SetLinkTarget({});
        QCOMPARE(edit.cursor().shape(), own);
    }

    void TextAndTargetAreIndependent()
    {
        CClickEdit edit;
        edit.setText("shown");
        edit.SetLinkTarget("mailto:someone@example.org");
        edit.setText("other text");
        QCOMPARE(edit.LinkTarget(), QString("mailto:someone@example.org"));
        edit.SetLinkTarget("https://firebirdsql.org/");
        QCOMPARE(edit.text(), QString("other text"));
    }
};

QTEST_MAIN(CClickEditTest)
#include "CClickEditTest.moc"

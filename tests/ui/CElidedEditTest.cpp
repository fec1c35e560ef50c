// The box for a long database name: its middle gives way, its start and its
// file name stay in view, and its text stays whole.
#include "ui/CElidedEdit.h"

#include <QApplication>
#include <QTest>

class CElidedEditTest : public QObject
{
    Q_OBJECT

  private slots:
    void ALongNameLosesItsMiddleNotItsEnds()
    {
        const QString name = "localhost:/srv/firebird/customers/archive/2019/december/old_customer_database.fdb";
        CElidedEdit box;
        box.setText(name);
        box.resize(box.fontMetrics().horizontalAdvance(name) / 2, box.sizeHint().height());
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QString shown = box.DisplayedText();
        QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
        QVERIFY2(shown.startsWith("localhost:/s"), qPrintable(shown));
        QVERIFY2(shown.endsWith("database.fdb"), qPrintable(shown));
        QVERIFY(shown.size() < name.size());
        QCOMPARE(box.text(), name);
        QVERIFY(box.isReadOnly());
        QVERIFY(!box.grab().isNull());

        // Selected, the text is as it is, so what is selected is what is seen.
        box.selectAll();
        QCOMPARE(box.DisplayedText(), name);
        box.deselect();
        // Given room, the name shows whole.
        box.resize(box.fontMetrics().horizontalAdvance(name) + 40, box.height());
        QCOMPARE(box.DisplayedText(), name);
    }
};

QTEST_MAIN(CElidedEditTest)
#include "CElidedEditTest.moc"

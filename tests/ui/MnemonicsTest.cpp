// Alt keys chosen for menu texts in any language.
#include "ui/Mnemonics.h"

#include <QTest>

class MnemonicsTest : public QObject
{
    Q_OBJECT

  private slots:
    void EachTextTakesAKeyNotTakenBefore()
    {
        const struct
        {
            QString text;
            QString marked;
        } cases[] = {
            {"File", "&File"},
            {"Select source database\tCtrl+S", "&Select source database\tCtrl+S"},
            // s is taken: the next word start, d, is free.
            {"Select destination database\tCtrl+D", "Select &destination database\tCtrl+D"},
            // Every word start taken: the first free letter inside a word.
            {"Select data", "S&elect data"},
            // A translation's own key stays, and is reserved.
            {"Be&enden\tStrg+Q", "Be&enden\tStrg+Q"},
            {"Über &&", "&Über &&"},
            // Without a letter any sign will do.
            {"?", "&?"},
            // Only the text before the tab counts.
            {"Ax\tCtrl+Q", "&Ax\tCtrl+Q"},
            {"1\tCtrl+Q", "&1\tCtrl+Q"},
        };
        QSet<QChar> taken;
        for (const auto& c : cases)
            QCOMPARE(WithMnemonic(c.text, taken), c.marked);
        QVERIFY(taken.contains(QChar(0xfc))); // ü, lower case
    }

    void TheReadTextHasNoMarks()
    {
        QCOMPARE(WithoutMnemonic("Select &source database\tCtrl+S"), QString("Select source database\tCtrl+S"));
        QCOMPARE(WithoutMnemonic("Fish && &Chips"), QString("Fish && Chips"));
        QCOMPARE(WithoutMnemonic("?"), QString("?"));
    }
};

QTEST_MAIN(MnemonicsTest)
#include "MnemonicsTest.moc"

// The face for text in columns: the preferred one only where the font system
// finds it fixed pitch, the system's fixed font otherwise.
#include "ui/FixedFont.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QTest>

class FixedFontTest : public QObject
{
    Q_OBJECT

  private slots:
    void AFaceThatIsNotFixedPitchGivesWayToTheSystemsFixedFont()
    {
        QFont base = QApplication::font();
        base.setPixelSize(15);
        // Whatever the machine's fonts: a proportional face stands in for a
        // preferred name that resolves to a face without fixed pitch.
        const QString proportional = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
        QFont probe(proportional);
        if (QFontInfo(probe).fixedPitch())
            QSKIP("the system's general font is itself fixed pitch");
        const QFont chosen = FixedPitchFont(base, {proportional});
        QVERIFY2(QFontInfo(chosen).fixedPitch(), qPrintable(QFontInfo(chosen).family()));
        QCOMPARE(chosen.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QCOMPARE(chosen.pixelSize(), 15);
    }

    void AFixedPitchFaceIsKeptWithTheBasesSize()
    {
        QFont base = QApplication::font();
        base.setPointSizeF(11.5);
        const QString fixed = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
        const QFont chosen = FixedPitchFont(base, {fixed});
        QVERIFY(QFontInfo(chosen).fixedPitch());
        QCOMPARE(QFontInfo(chosen).family(), fixed);
        QCOMPARE(chosen.pointSizeF(), 11.5);
    }

    void TheDefaultFaceEndsFixedPitchOnAnyFontSet()
    {
        const QFont chosen = FixedPitchFont(QApplication::font());
        QVERIFY2(QFontInfo(chosen).fixedPitch(), qPrintable(QFontInfo(chosen).family()));
    }
};

QTEST_MAIN(FixedFontTest)
#include "FixedFontTest.moc"

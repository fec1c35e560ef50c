#include "ui/CDpiDC.h"

#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QWidget>

class CDpiDCTest : public QObject
{
    Q_OBJECT

  private slots:
    void ScalesOnlyUp()
    {
        QCOMPARE(CDpiDC(96, 96).ScaleToScreen(20), 20);
        QCOMPARE(CDpiDC(144, 96).ScaleToScreen(20), 30);
        QCOMPARE(CDpiDC(120, 96).ScaleToScreen(7), 8);
        QCOMPARE(CDpiDC(72, 96).ScaleToScreen(20), 20);
    }

    void TakesTheWindowsResolution()
    {
        QWidget window;
        const CDpiDC dc(&window);
        QCOMPARE(dc.ScreenDpi(), window.logicalDpiX());
        QCOMPARE(dc.DesignDpi(), 96);
        QCOMPARE(dc.ScaleToScreen(20), window.logicalDpiX() > 96 ? 20 * window.logicalDpiX() / 96 : 20);
    }

    void ResizeChangesNothingAtDesignResolution()
    {
        QWidget dialog;
        dialog.resize(400, 300);
        QPushButton button(&dialog);
        button.setGeometry(10, 20, 100, 40);
        CDpiDC(96, 96).ResizeControl(&button, &dialog, true);
        QCOMPARE(button.geometry(), QRect(10, 20, 100, 40));
    }

    void ResizeScalesBothMissingSizes()
    {
        QWidget dialog;
        dialog.resize(400, 300);
        QPushButton button(&dialog);
        button.setGeometry(10, 20, 100, 40);
        CDpiDC(144, 96).ResizeControl(&button, &dialog, false);
        QCOMPARE(button.geometry(), QRect(10, 20, 150, 60));
    }

    void ResizeKeepsAspectFromGivenSize()
    {
        QWidget dialog;
        dialog.resize(400, 300);
        QWidget picture(&dialog);
        picture.setGeometry(0, 0, 100, 40);
        CDpiDC(144, 96).ResizeControl(&picture, &dialog, false, -1, 80, true);
        QCOMPARE(picture.size(), QSize(200, 80));
        picture.setGeometry(0, 0, 100, 40);
        CDpiDC(144, 96).ResizeControl(&picture, &dialog, false, -1, 80, false);
        QCOMPARE(picture.size(), QSize(150, 80));
        picture.setGeometry(0, 0, 100, 40);
        CDpiDC(144, 96).ResizeControl(&picture, &dialog, false, 300, -1, true);
        QCOMPARE(picture.size(), QSize(300, 120));
    }

    void ResizeWithUnchangedWidthChangesNothing()
    {
        QWidget dialog;
        dialog.resize(400, 300);
        QWidget control(&dialog);
        control.setGeometry(5, 5, 100, 40);
        CDpiDC(144, 96).ResizeControl(&control, &dialog, false, 100, -1);
        QCOMPARE(control.size(), QSize(100, 40));
    }

    void ResizeOfFlatControlDoesNotDivideByZero()
    {
        QWidget dialog;
        dialog.resize(400, 300);
        QWidget line(&dialog);
        line.setGeometry(0, 0, 100, 0);
        CDpiDC(144, 96).ResizeControl(&line, &dialog, false, -1, 30, true);
        QCOMPARE(line.size(), QSize(150, 30));
        QWidget empty(&dialog);
        empty.setGeometry(0, 0, 0, 10);
        CDpiDC(144, 96).ResizeControl(&empty, &dialog, false, 60, -1, true);
        QCOMPARE(empty.size(), QSize(60, 15));
    }

    void ResizeCentresInDialog()
    {
        QWidget dialog;
        dialog.resize(401, 300);
        QWidget panel(&dialog);
        panel.setGeometry(30, 40, 200, 100);
        QWidget logo(&panel);
        logo.setGeometry(7, 9, 21, 10);
        CDpiDC(144, 96).ResizeControl(&logo, &dialog, true);
        QCOMPARE(logo.size(), QSize(31, 15));
        // Centred in the dialog: 401 / 2 - 31 / 2 = 185 in dialog coordinates.
        QCOMPARE(CDpiDC::GetControlTop(&logo, &dialog), 49);
        QCOMPARE(logo.mapTo(&dialog, QPoint(0, 0)).x(), 185);
    }

    void ControlGeometryInDialogCoordinates()
    {
        QWidget dialog;
        QWidget panel(&dialog);
        panel.setGeometry(30, 40, 200, 100);
        QWidget control(&panel);
        control.setGeometry(5, 6, 70, 25);
        QCOMPARE(CDpiDC::GetControlTop(&control, &dialog), 46);
        QCOMPARE(CDpiDC::GetControlWidth(&control, &dialog), 70);
        QCOMPARE(CDpiDC::GetControlHeight(&control, &dialog), 25);
    }

    void StretchBitmapScalesPicture()
    {
        QImage image(20, 20, QImage::Format_ARGB32);
        image.fill(Qt::red);
        for (int y = 0; y < 20; ++y)
            for (int x = 10; x < 20; ++x)
                image.setPixelColor(x, y, Qt::blue);
        QPixmap target;
        const CDpiDC dc(144, 96);
        QVERIFY(
            dc.StretchBitmap(QPixmap::fromImage(image), target, 20, 20, dc.ScaleToScreen(20), dc.ScaleToScreen(20)));
        QCOMPARE(target.size(), QSize(30, 30));
        const QImage result = target.toImage();
        QCOMPARE(result.pixelColor(2, 15), QColor(Qt::red));
        QCOMPARE(result.pixelColor(27, 15), QColor(Qt::blue));

        // Only the left half of the source, stretched over the whole target.
        QVERIFY(dc.StretchBitmap(QPixmap::fromImage(image), target, 10, 20, 30, 30));
        QCOMPARE(target.toImage().pixelColor(27, 15), QColor(Qt::red));

        QVERIFY(!dc.StretchBitmap(QPixmap::fromImage(image), target, 20, 20, 0, 30));
        QVERIFY(target.isNull());
    }
};

QTEST_MAIN(CDpiDCTest)
#include "CDpiDCTest.moc"

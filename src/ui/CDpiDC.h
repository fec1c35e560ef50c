#pragma once

#include <QPixmap>

class QWidget;

// Scales pictures and control sizes from the resolution the dialogs were laid
// out for (96 dots per inch) up to the screen's logical resolution. It never
// scales down.
class CDpiDC
{
  public:
    static constexpr int kDesignDpi = 96;

    // Takes the logical horizontal resolution of the screen window is on (the
    // primary screen without a window).
    explicit CDpiDC(const QWidget* window = nullptr, int designDpi = kDesignDpi);
    // For a known screen resolution.
    CDpiDC(int screenDpi, int designDpi);

    int ScreenDpi() const { return m_nScreenDpi; }
    int DesignDpi() const { return m_nDesignDpi; }

    // value x screen / design, truncated, when the screen is finer than the
    // design; value otherwise.
    int ScaleToScreen(int value) const;
    // Draws the sourceWidth x sourceHeight top-left part of source stretched
    // over a new targetWidth x targetHeight picture; false (and target null)
    // for an empty size.
    bool StretchBitmap(const QPixmap& source, QPixmap& target, int sourceWidth, int sourceHeight, int targetWidth,
                       int targetHeight) const;
    // Enlarges control for the screen; width or height -1 is computed, from
    // the screen ratio or, with keepAspect, from the other given size. With
    // centre the control is then centred horizontally in dialog. Nothing
    // changes on a screen no finer than the design or when a size would stay.
    void ResizeControl(QWidget* control, QWidget* dialog, bool centre, int width = -1, int height = -1,
                       bool keepAspect = false) const;

    // The control's rectangle in dialog's client coordinates.
    static int GetControlTop(const QWidget* control, const QWidget* dialog);
    static int GetControlWidth(const QWidget* control, const QWidget* dialog);
    static int GetControlHeight(const QWidget* control, const QWidget* dialog);

  private:
    int m_nScreenDpi;
    int m_nDesignDpi;
};

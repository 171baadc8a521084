#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "machine/ScreenPicture.h"
#include "machine/ScreenTevrin.h"

class QPainter;

// Shows a ScreenTevrin's bitmap: in a window as the picture inside its black border, in full
// screen as the screen's mapping of the bitmap onto a black monitor. It paints only; the screen
// renders, and the main window decides when (Present, every 20 ms) and where the view sits.
class ScreenView : public QWidget {
    Q_OBJECT

  public:
    explicit ScreenView(QWidget* parent = nullptr);

    // Neither is owned; both may be null (nothing to show, or no video memory: black).
    void SetScreen(ScreenTevrin* screen);
    ScreenTevrin* Screen() const { return screen_; }
    void SetVideoPlanes(const uint8_t* redPlane) { redPlane_ = redPlane; }

    // Renders the planes into the screen's bitmap and schedules a repaint.
    void Present();

    // The current picture rendered afresh at the bitmap's size, for the clipboard.
    QImage PictureImage() const;
    static QImage ToImage(const ScreenPicture& picture);
    static QList<QRgb> ColourTable();

    // The top left corner of the picture in windowed modes.
    QPoint PictureOrigin() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void CopyBitmap();
    void PaintWindowed(QPainter& painter);
    void PaintFullScreen(QPainter& painter);

    ScreenTevrin* screen_ = nullptr;
    const uint8_t* redPlane_ = nullptr;
    QImage frame_;  // the screen's bitmap as last copied under its mutex
};

#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

#include "frontend/ScreenPresenter.h"
#include "machine/ScreenPicture.h"

class QPainter;

// Shows a ScreenPresenter's bitmap: in a window as the picture inside its black border, in full
// screen as the presenter's mapping of the bitmap onto a black monitor. It paints only; the
// presenter renders, and the main window decides when (every 20 ms) and where the view sits.
class ScreenView : public QWidget {
    Q_OBJECT

  public:
    explicit ScreenView(QWidget* parent = nullptr);

    // Not owned; null shows black.
    void SetPresenter(const ScreenPresenter* presenter);
    const ScreenPresenter* Presenter() const { return presenter_; }

    // A picture as an indexed image with the screen's palette (the clipboard's form).
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

    const ScreenPresenter* presenter_ = nullptr;
    QImage frame_;  // the presenter's bitmap as last copied under its mutex
};

#include "ui/main/ScreenView.h"

#include <QPainter>
#include <cstring>

#include "machine/ScreenGeometry.h"
#include "machine/ScreenRenderer.h"

namespace {

QRect ToQRect(const screen::Rect& rect) {
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

QList<QRgb> ToColourTable(const std::array<uint32_t, screen::kPaletteSize>& palette) {
    QList<QRgb> table;
    table.reserve(screen::kPaletteSize);
    for (uint32_t rgb : palette) table.append(qRgb(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
    return table;
}

}  // namespace

ScreenView::ScreenView(QWidget* parent) : QWidget(parent) {
    setObjectName("ScreenView");
    // Every pixel is painted each time, so Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScreenView::SetPresenter(const ScreenPresenter* presenter) {
    presenter_ = presenter;
    updateGeometry();
    update();
}

QList<QRgb> ScreenView::ColourTable() {
    return ToColourTable(screen::kPalette);
}

QImage ScreenView::ToImage(const ScreenPicture& picture) {
    if (picture.width <= 0 || picture.height <= 0 ||
        picture.pixels.size() < static_cast<size_t>(picture.width) * picture.height) {
        return QImage();
    }
    QImage image(picture.width, picture.height, QImage::Format_Indexed8);
    image.setColorTable(ToColourTable(picture.palette));
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(image.scanLine(y),
                    picture.pixels.data() + static_cast<size_t>(y) * picture.width,
                    static_cast<size_t>(picture.width));
    }
    return image;
}

QPoint ScreenView::PictureOrigin() const {
    int border = presenter_ != nullptr ? presenter_->Border() : 0;
    return QPoint(border, border);
}

QSize ScreenView::sizeHint() const {
    if (presenter_ == nullptr) return QSize(screen::kVideoSize, screen::kVideoSize);
    // The tool bar and the status panel are the main window's; the view holds the rest.
    screen::ClientSize size = screen::WindowedClientSize(presenter_->Width(), presenter_->Height(),
                                                         presenter_->Border(), 0, 0);
    return QSize(size.width, size.height);
}

void ScreenView::CopyBitmap() {
    auto lock = presenter_->LockPicture();
    int width = presenter_->Width();
    int height = presenter_->Height();
    if (frame_.width() != width || frame_.height() != height) {
        frame_ = QImage(width, height, QImage::Format_Indexed8);
        frame_.setColorTable(ColourTable());
    }
    const uint8_t* pixels = presenter_->Pixels();
    for (int y = 0; y < height; ++y) {
        std::memcpy(frame_.scanLine(y), pixels + static_cast<size_t>(y) * width,
                    static_cast<size_t>(width));
    }
}

void ScreenView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (presenter_ == nullptr) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    CopyBitmap();
    if (presenter_->InFullScreen()) {
        PaintFullScreen(painter);
    } else {
        PaintWindowed(painter);
    }
}

void ScreenView::PaintWindowed(QPainter& painter) {
    const int b = presenter_->Border();
    const int w = frame_.width();
    const int h = frame_.height();
    const QPoint origin = PictureOrigin();
    const int x = origin.x();
    const int y = origin.y();
    // Whatever the window adds round the framed picture shows the window's own background.
    painter.fillRect(rect(), palette().window());
    if (b > 0) {
        painter.fillRect(x - b, y - b, w + 2 * b, b, Qt::black);
        painter.fillRect(x - b, y + h, w + 2 * b, b, Qt::black);
        painter.fillRect(x - b, y, b, h, Qt::black);
        painter.fillRect(x + w, y, b, h, Qt::black);
    }
    painter.drawImage(origin, frame_);
}

void ScreenView::PaintFullScreen(QPainter& painter) {
    painter.fillRect(rect(), Qt::black);
    const screen::FullScreenMapping& mapping = presenter_->Mapping();
    // Nearest-neighbour scaling keeps the machine's pixels square-edged.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(ToQRect(mapping.destination), frame_, ToQRect(mapping.source));
}

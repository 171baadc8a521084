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

void ScreenView::SetScreen(ScreenTevrin* screen) {
    screen_ = screen;
    updateGeometry();
    update();
}

void ScreenView::Present() {
    if (screen_ == nullptr) return;
    screen_->Render(redPlane_);
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

QImage ScreenView::PictureImage() const {
    if (screen_ == nullptr) return QImage();
    return ToImage(screen_->RenderPicture(redPlane_));
}

QPoint ScreenView::PictureOrigin() const {
    int border = screen_ != nullptr ? screen_->Border() : 0;
    return QPoint(border, border);
}

QSize ScreenView::sizeHint() const {
    if (screen_ == nullptr) return QSize(screen::kVideoSize, screen::kVideoSize);
    // The tool bar and the status panel are the main window's; the view holds the rest.
    screen::ClientSize size =
        screen::WindowedClientSize(screen_->Width(), screen_->Height(), screen_->Border(), 0, 0);
    return QSize(size.width, size.height);
}

void ScreenView::CopyBitmap() {
    auto lock = screen_->LockPicture();
    int width = screen_->Width();
    int height = screen_->Height();
    if (frame_.width() != width || frame_.height() != height) {
        frame_ = QImage(width, height, QImage::Format_Indexed8);
        frame_.setColorTable(ColourTable());
    }
    const uint8_t* pixels = screen_->Pixels();
    for (int y = 0; y < height; ++y) {
        std::memcpy(frame_.scanLine(y), pixels + static_cast<size_t>(y) * width,
                    static_cast<size_t>(width));
    }
}

void ScreenView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (screen_ == nullptr) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    CopyBitmap();
    if (screen_->InFullScreen()) {
        PaintFullScreen(painter);
    } else {
        PaintWindowed(painter);
    }
}

void ScreenView::PaintWindowed(QPainter& painter) {
    const int b = screen_->Border();
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
    const screen::FullScreenMapping& mapping = screen_->Mapping();
    // Nearest-neighbour scaling keeps the machine's pixels square-edged.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(ToQRect(mapping.destination), frame_, ToQRect(mapping.source));
}

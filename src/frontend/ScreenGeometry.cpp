#include "frontend/ScreenGeometry.h"

#include <cstdint>

namespace screen {

namespace {

// One axis of a mapping: offset and size on the monitor and in the bitmap.
struct Span {
    int destinationOffset = 0;
    int destinationSize = 0;
    int sourceOffset = 0;
    int sourceSize = 0;
};

Rect Combine(const Span& across, const Span& down, bool destination) {
    if (destination) {
        return {across.destinationOffset, down.destinationOffset, across.destinationSize,
                down.destinationSize};
    }
    return {across.sourceOffset, down.sourceOffset, across.sourceSize, down.sourceSize};
}

int Scale(int value, int multiplier, int divisor) {
    return static_cast<int>(static_cast<int64_t>(value) * multiplier / divisor);
}

// Fill and fit scale the bitmap so that its leading axis covers the monitor; the other axis
// keeps the bitmap's aspect. When that axis then overflows the monitor, the middle of the bitmap
// is cut out; otherwise the picture is centred with black bars.
void ScaleByLeadingAxis(int monitorLead, int monitorOther, int bitmapLead, int bitmapOther,
                        Span& lead, Span& other) {
    lead = {0, monitorLead, 0, bitmapLead};
    int scaled = Scale(bitmapOther, monitorLead, bitmapLead);
    if (monitorOther < scaled) {
        other.sourceSize = Scale(bitmapOther, monitorOther, scaled);
        other.sourceOffset = (bitmapOther - other.sourceSize) / 2;
        other.destinationOffset = 0;
        other.destinationSize = monitorOther;
    } else {
        other.sourceOffset = 0;
        other.sourceSize = bitmapOther;
        other.destinationSize = scaled;
        other.destinationOffset = (monitorOther - scaled) / 2;
    }
}

Span CentreAxis(int monitor, int bitmap) {
    if (monitor < bitmap) return {0, monitor, (bitmap - monitor) / 2, monitor};
    return {(monitor - bitmap) / 2, bitmap, 0, bitmap};
}

}  // namespace

FullScreenMapping MapFullScreen(int monitorWidth, int monitorHeight, int bitmapWidth,
                                int bitmapHeight, int fit) {
    if (monitorWidth <= 0 || monitorHeight <= 0 || bitmapWidth <= 0 || bitmapHeight <= 0) {
        return {};
    }
    Span across;
    Span down;
    switch (fit) {
        case kFitFill:
            ScaleByLeadingAxis(monitorWidth, monitorHeight, bitmapWidth, bitmapHeight, across,
                               down);
            break;
        case kFitStretch:
            across = {0, monitorWidth, 0, bitmapWidth};
            down = {0, monitorHeight, 0, bitmapHeight};
            break;
        case kFitCentre:
            across = CentreAxis(monitorWidth, bitmapWidth);
            down = CentreAxis(monitorHeight, bitmapHeight);
            break;
        default:
            ScaleByLeadingAxis(monitorHeight, monitorWidth, bitmapHeight, bitmapWidth, down,
                               across);
            break;
    }
    return {Combine(across, down, true), Combine(across, down, false)};
}

ClientSize WindowedClientSize(int bitmapWidth, int bitmapHeight, int border, int toolBarHeight,
                              int panelHeight) {
    return {bitmapWidth + 2 * border + 2, panelHeight + bitmapHeight + toolBarHeight + 2 * border};
}

}  // namespace screen

#include "frontend/DesktopPlacement.h"

#include <algorithm>

namespace placement {
namespace {

int KeepInside(int position, int size, int areaStart, int areaSize, int margin) {
    const int lowest = areaStart + margin;
    const int highest = areaStart + areaSize - margin - size;
    return std::max(lowest, std::min(position, highest));
}

}  // namespace

screen::Rect KeepOnDesktop(const screen::Rect& window, const screen::Rect& desktop, int margin) {
    screen::Rect placed = window;
    placed.x = KeepInside(window.x, window.width, desktop.x, desktop.width, margin);
    placed.y = KeepInside(window.y, window.height, desktop.y, desktop.height, margin);
    return placed;
}

}  // namespace placement

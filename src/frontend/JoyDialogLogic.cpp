#include "frontend/JoyDialogLogic.h"

#include <algorithm>
#include <cmath>

namespace joydialog {

Point SensitivityPoint(int sensitivity, int width, int height) {
    return {width / 2, height / 2 + static_cast<int>(sensitivity * 0.01 * height / 2)};
}

double DistanceFromCentre(Point point, int width, int height) {
    return std::hypot(point.x - width / 2, point.y - height / 2);
}

int SensitivityOf(Point point, int width, int height) {
    const int half = width / 2;
    return half > 0 ? static_cast<int>(DistanceFromCentre(point, width, height) / half * 100.0) : 0;
}

Point CrossPosition(const JoyControllerState& reading, int hat, int width, int height) {
    Point p;
    if (hat < 0) {
        p.x = static_cast<int>((reading.x + 128) / 256.0 * width);
        p.y = static_cast<int>((reading.y + 128) / 256.0 * height);
    } else {
        const uint32_t value = reading.hats[static_cast<size_t>(std::clamp(hat, 0, 3))];
        const int octant = joyrules::HatOctant(value);
        const int left = 0, middleX = width / 2, right = width;
        const int top = 0, middleY = height / 2, bottom = height;
        switch (octant) {
            case -1: p = {middleX, middleY}; break;
            case 0: p = {middleX, top}; break;
            case 1: p = {right, top}; break;
            case 2: p = {right, middleY}; break;
            case 3: p = {right, bottom}; break;
            case 4: p = {middleX, bottom}; break;
            case 5: p = {left, bottom}; break;
            case 6: p = {left, middleY}; break;
            default: p = {left, top}; break;
        }
    }
    p.x = std::clamp(p.x, kCrossMargin, width - kCrossMargin);
    p.y = std::clamp(p.y, kCrossMargin, height - kCrossMargin);
    return p;
}

}  // namespace joydialog

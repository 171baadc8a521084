#pragma once

#include "frontend/ScreenGeometry.h"

namespace placement {

// Moves a window (its frame rectangle) so that it lies inside the desktop with `margin` pixels
// to spare on every side. A window larger than the desktop keeps its top left corner at the
// margin. Only the position changes.
screen::Rect KeepOnDesktop(const screen::Rect& window, const screen::Rect& desktop, int margin);

}  // namespace placement

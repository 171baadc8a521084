#pragma once

// Where the picture goes on the host: the windowed client size and the full-screen mapping of
// the bitmap onto the monitor. Pure arithmetic, shared by the screen presenter, the view that
// paints it and the main window that sizes itself round it.
namespace screen {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

// Full-screen mappings, as stored in the configuration.
enum Fit : int {
    kFitFill = 0,     // full monitor width, the height cropped or letterboxed
    kFitFit = 1,      // full monitor height, the width cropped or pillarboxed
    kFitStretch = 2,  // the whole bitmap on the whole monitor, aspect ignored
    kFitCentre = 3,   // 1:1, centred, cropped where the monitor is smaller
};

struct FullScreenMapping {
    Rect destination;  // on the monitor, relative to its top left corner
    Rect source;       // in the bitmap
    bool operator==(const FullScreenMapping&) const = default;
};

// Every division truncates toward zero. Unknown fit values map as kFitFit, the default; an
// empty monitor or bitmap gives empty rectangles.
FullScreenMapping MapFullScreen(int monitorWidth, int monitorHeight, int bitmapWidth,
                                int bitmapHeight, int fit);

struct ClientSize {
    int width = 0;
    int height = 0;
    bool operator==(const ClientSize&) const = default;
};

// The main window's client area in the windowed modes: the picture with its border, the tool
// bar above and the status panel below. The two extra pixels across are the window's inner edge.
ClientSize WindowedClientSize(int bitmapWidth, int bitmapHeight, int border, int toolBarHeight,
                              int panelHeight);

}  // namespace screen

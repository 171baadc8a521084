#pragma once

// How the picture is shown on the host: in a window at 100 % or 200 %, or on the whole monitor.
// The values are the View menu's tags and what the configuration's window size maps onto.
enum class ScreenMode : int {
    None = -1,  // before the first mode is set
    Normal = 0,
    Double = 1,
    FullScreen = 2,
};

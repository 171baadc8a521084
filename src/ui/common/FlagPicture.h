#pragma once

#include <QPixmap>

#include <string>

// A language's flag for the language list. The pictures are plain bitmaps without an alpha
// channel, so magenta (255, 0, 255) marks the pixels where the list's background shows through.
// A missing or unreadable file gives a null pixmap (the language is listed without a flag).
QPixmap LoadFlagPicture(const std::string& path);

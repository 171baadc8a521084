#pragma once

#include <QUrl>

// The Help menu's home page: the emulator's documentation, delivered beside the program.
QUrl HomePageUrl();
// Hands the address to the desktop's default viewer; nothing is paused. False when the desktop
// has no program to show it (no browser or viewer installed).
bool OpenHomePage();

#pragma once

#include <QUrl>

// The Help menu's home page: the emulator's documentation, delivered beside the program.
QUrl HomePageUrl();
// Hands the address to the desktop's default viewer; nothing is paused and no result checked.
void OpenHomePage();

#pragma once

#include <string>

class QWidget;
class TFormMain;

// A file handed to the program from outside, by its command line or by a later start, opened as
// the File menu would open it.
void OpenHandedOverFile(TFormMain& form, const std::string& path);

// A later start asked for the window: restored if minimised, raised and activated.
void BringToFront(QWidget& window);

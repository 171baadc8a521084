#pragma once

#include <QString>

class QStackedWidget;

// The widgets of the settings dialog's five pages, named as the language files name them
// (TabGeneral … TabControl, CheckHintDbg, CbFitFS, …), with their built-in English texts. Each
// page keeps its caption as its window title and its hint as its tool tip, where the language
// files put them and the dialog's top panel reads them.
void BuildSettingsPages(QStackedWidget* stack);

// The picture of each page, for the tree and the top panel.
QString SettingsPageIcon(int page);

#pragma once

#include <QStringList>

#include <string>

#include "host/config/Settings.h"
#include "host/files/FileFilter.h"

class QWidget;

// The open and save dialogs every command of the program uses. Both are Qt's own (non-native)
// dialogs, so the places bar (the sidebar) can be hidden when General/show-place-bar-on-file-dialog
// is false; the setting is read at every call. The title and the filter come from the caller's
// language section ("description|pattern|…", see ParseFileFilter). The dialog starts as
// OpenDialogStart/SaveDialogStart say; `path` is made absolute by that even when the user cancels,
// and holds the chosen file's full path after OK. A default extension (without the dot) is
// appended, in lower case, to a typed name that has none; empty means none.

// The chosen file must exist.
bool OpenFileDialog(QWidget* owner, const config::Settings& settings, const std::string& title,
                    const std::string& filter, std::string& path,
                    const std::string& defaultExtension);

// Asks before replacing an existing file only when overwritePrompt is set. A file without write
// permission cannot be chosen: the dialog says so (Common/text.FileDialog.ReadOnly) and stays.
bool SaveFileDialog(QWidget* owner, const config::Settings& settings, const std::string& title,
                    const std::string& filter, bool overwritePrompt, std::string& path,
                    const std::string& defaultExtension);

// "description (pattern pattern)" as QFileDialog takes name filters.
QStringList ToNameFilters(const std::vector<FileFilter>& filters);

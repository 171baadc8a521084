#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/lang/IniFile.h"

class QWidget;

// Puts the texts of a language file on the program's windows. A window's object name is its
// section ("FormSettings"); each entry kind.Name.Property names an element by its object name
// (found ignoring case, as the names in the files are written by hand) and what to replace:
//   Hint               any element: its tooltip (a menu item also its status tip), backslashes
//                      turned into line breaks
//   Caption            form: the window title; label, static: a QLabel; button: any button;
//                      check: a QCheckBox; radio: a QRadioButton; groupBox: a QGroupBox's title;
//                      tabSheet: the page's title (kept as its windowTitle, and the tab's text
//                      when the page sits in a QTabWidget); menuItem: a QAction or QMenu
//   ColumnN            listView: header of column N of a tree, table or other item view;
//                      stringGrid: column N of a QTableWidget's header row (row 0 when the
//                      header is hidden)
//   TreeItemN          treeItems: the N-th item of a QTreeWidget in its flat (pre-order) order
//   ComboItemN         comboBox: item N of a QComboBox; the selected item stays selected
// N counts from 1. A key whose element is missing, of another kind than the entry says, or
// whose number is not in the element's range changes nothing.

// Applies one section to one window and returns the keys that changed nothing (a window's tests
// can check that every entry of its section reaches an element).
std::vector<std::string> ApplyLanguageSection(QWidget* window, const IniFile::Section& section);

// Makes `name` the active language (lang::LoadLanguageFile) and applies every section of its
// file to the open window of that name, in file order. Texts without an entry in the new file
// stay as they are. Returns whether the language file was found.
bool LoadLanguage(std::string_view name);

// Applies the active language to one window, for a window made after the language was loaded.
void ApplyActiveLanguage(QWidget* window);

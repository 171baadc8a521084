#pragma once

#include <array>
#include <string>
#include <string_view>

#include "host/lang/IniFile.h"

namespace lang {

// The windows that have a section in a language file, named as the windows are.
inline constexpr std::array<std::string_view, 13> kWindowSections{
    "FormMain",           "FormSettings", "FormAbout",     "FormMemReadWrite", "FormDebugger",
    "FormDbgFind",        "FormDisass",   "FormPerifStat", "FormTapeBrowser",  "FormEditTapeHeader",
    "FormEditInfoRecord", "FormJoy",      "FormManual"};

// Texts for everything outside one window (the shared file dialogs) and the charset number.
inline constexpr std::string_view kCommonSection = "Common";

// In hints and in every looked-up text a backslash stands for a line break.
std::string WithLineBreaks(std::string_view value);

// The active language: one language file, the source of every message and dialog text.
class Language {
  public:
    // Makes `name` the active language: drops the previous file and reads
    // folder/name.ini (found ignoring case). A missing file leaves an empty language: every
    // text is empty and no window text changes. Returns whether a file was read.
    bool Load(const std::string& folder, std::string_view name);
    void Unload();

    bool IsLoaded() const { return loaded_; }
    const std::string& Name() const { return name_; }
    const IniFile& File() const { return file_; }
    // Common/Charset, 0 when missing: the character set a window's font is given. Qt's fonts
    // are Unicode, so it is read for completeness and does not change how text shows.
    int Charset() const;

    // The value of the key in the window's section with backslashes turned into line breaks;
    // empty when the key is missing or no language is loaded.
    std::string Text(std::string_view window, std::string_view key) const;

  private:
    IniFile file_;
    std::string name_;
    bool loaded_ = false;
};

// The language every window and message uses.
Language& ActiveLanguage();

// Loads the active language from the program's language folder (the core of LoadLanguage; the
// user interface then applies it to its windows).
bool LoadLanguageFile(std::string_view name);

std::string LangText(std::string_view window, std::string_view key);
// The first "%1" replaced by a.
std::string LangText1(std::string_view window, std::string_view key, std::string_view a);
// The first "%1" replaced by a and the first "%2" by b. Both are found in the file's own text,
// so a file name that happens to hold "%2" is inserted as it is.
std::string LangText2(std::string_view window, std::string_view key, std::string_view a,
                      std::string_view b);

}  // namespace lang

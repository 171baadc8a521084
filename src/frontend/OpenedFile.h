#pragma once

#include <string>

// What the main window does with a file it is asked to open, by the file's extension
// (compared ignoring case): a tape image goes to the tape browser, a snapshot of ours (".tvs")
// is restored, a ".tvx" snapshot is only recognised, an input movie (".tvm") is played, anything
// else is loaded into memory.
enum class OpenedFile { Tape, Snapshot, MachineSnapshot, InputMovie, Memory };

OpenedFile KindOfOpenedFile(const std::string& path);

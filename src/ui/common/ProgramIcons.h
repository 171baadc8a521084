#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's own pictures, drawn as SVG and compiled in. They are rendered here rather than
// through Qt's SVG icon plugin so that they show wherever the program runs, plugin or not.
namespace icons {

inline constexpr const char* kApplication = "tevrinemu";
inline constexpr const char* kTevrin = "tevrin";
inline constexpr const char* kRun = "run";
inline constexpr const char* kPause = "pause";
inline constexpr const char* kReset = "reset";
inline constexpr const char* kMultiplier = "multiplier";
inline constexpr const char* kSound = "sound";
inline constexpr const char* kMute = "mute";
inline constexpr const char* kSettings = "settings";
inline constexpr const char* kHardware = "hardware";
inline constexpr const char* kDisplay = "display";
inline constexpr const char* kControls = "controls";
inline constexpr const char* kTape = "tape";
inline constexpr const char* kPlay = "play";
inline constexpr const char* kStop = "stop";
inline constexpr const char* kEject = "eject";
inline constexpr const char* kNewTape = "newtape";
inline constexpr const char* kFlashOn = "flashon";
inline constexpr const char* kFlashOff = "flashoff";
inline constexpr const char* kMonitorOn = "monitoron";
inline constexpr const char* kMonitorOff = "monitoroff";
inline constexpr const char* kCurrentRecord = "current";
inline constexpr const char* kIncomplete = "incomplete";
inline constexpr const char* kBadSize = "badsize";
inline constexpr const char* kCrcError = "crcerror";
inline constexpr const char* kNoGoodCopy = "nogoodcopy";
inline constexpr const char* kTapePlaying = "tapeplaying";
inline constexpr const char* kTapeRecording = "taperecording";
inline constexpr const char* kOpen = "open";
inline constexpr const char* kMemoryFile = "memfile";
inline constexpr const char* kSnapshot = "snapshot";
inline constexpr const char* kRomModule = "rommodule";
inline constexpr const char* kSdRom = "sdrom";
inline constexpr const char* kSdRomBusy = "sdbusy";
inline constexpr const char* kEditOff = "editoff";
inline constexpr const char* kEditOn = "editon";
inline constexpr const char* kSaveTape = "savetape";
inline constexpr const char* kAddTape = "addtape";
inline constexpr const char* kDeleteRecord = "deleterecord";
inline constexpr const char* kMoveUp = "moveup";
inline constexpr const char* kMoveDown = "movedown";
inline constexpr const char* kPopUpMenu = "popupmenu";
inline constexpr const char* kDbgStep = "dbgstep";
inline constexpr const char* kDbgStepOver = "dbgstepover";
inline constexpr const char* kDbgStepOut = "dbgstepout";
inline constexpr const char* kDbgToNext = "dbgtonext";
inline constexpr const char* kDbgCopy = "dbgcopy";
inline constexpr const char* kDbgFill = "dbgfill";
inline constexpr const char* kDbgFind = "dbgfind";
inline constexpr const char* kDbgDisass = "dbgdisass";
inline constexpr const char* kDbgChips = "dbgchips";
inline constexpr const char* kDbgHome = "dbghome";

// A square picture of the given size; a null pixmap for a name that has no picture.
QPixmap Pixmap(const QString& name, int size);
// The picture at the usual tool-bar, menu and title-bar sizes.
QIcon Icon(const QString& name);

}  // namespace icons

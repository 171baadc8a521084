#pragma once

// What a device on the serial line is doing, for the front end's status picture. Ordered by how
// much the user needs to see it: when two devices are active the later one is shown.
enum class SerialActivity { None, TapePlaying, TapeRecording, SdRomBusy };

#pragma once

#include "support/MachineFixture.h"

namespace testing_support {

// A program that keeps the chips busy and changes course with what it reads: a 16-bit LFSR
// picks a port among C0-DB and a value to write there, reads another port (the key matrix and
// the tape's serial line among them), mixes what it read into the LFSR, stores into the video
// planes and runs with interrupts enabled; every RST vector answers with EI, RET.
inline TestRom BusyRom() {
    TestRom rom;
    rom.Jump(0x0040);
    while (rom.Here() < 0x40)
        rom.Code(rom.Here() % 8 == 0 ? std::initializer_list<uint8_t>{0xFB, 0xC9}
                                     : std::initializer_list<uint8_t>{0x00});
    rom.MapRam();
    rom.Code({0x31, 0x00, 0xF0});  // LXI SP,F000
    // The stub at 1000: OUT p; IN q; RET.
    rom.Code(
        {0x3E, 0xD3, 0x32, 0x00, 0x10, 0x3E, 0xDB, 0x32, 0x02, 0x10, 0x3E, 0xC9, 0x32, 0x04, 0x10});
    rom.Code({0x21, 0xE1, 0xAC, 0xFB});  // LXI H,ACE1; EI
    const uint16_t loop = rom.Here();
    rom.Code({0xB7, 0x7C, 0x1F, 0x67, 0x7D, 0x1F, 0x6F});  // HL >>= 1
    const uint16_t skip = static_cast<uint16_t>(rom.Here() + 3 + 4);
    rom.Code({0xD2, static_cast<uint8_t>(skip), static_cast<uint8_t>(skip >> 8)});
    rom.Code({0x7C, 0xEE, 0xB4, 0x67});  // XOR B400 when a one fell out
    const uint16_t after = static_cast<uint16_t>(rom.Here() + 25);
    rom.Code({0x7D,
              0xE6,
              0x1F,
              0xF6,
              0xC0,
              0xFE,
              0xDC,  // port C0 | (L & 1F)
              0xD2,
              static_cast<uint8_t>(after),
              static_cast<uint8_t>(after >> 8),  // none past DB
              0x32,
              0x01,
              0x10,
              0x7C,
              0xE6,
              0x1B,
              0xF6,
              0xC0,
              0x32,
              0x03,
              0x10,
              0x7C});
    rom.Code({0xCD, 0x00, 0x10});  // CALL 1000 (`after` follows)
    // What was read goes into the LFSR's low byte: keys and tape change the course.
    rom.Code({0xAD, 0x6F});  // XRA L; MOV L,A
    rom.Code({0xE5, 0x7C, 0xF6, 0x40, 0xFE, 0xE0, 0xD2});
    const uint16_t pop = static_cast<uint16_t>(rom.Here() + 2 + 2);
    rom.Code({static_cast<uint8_t>(pop), static_cast<uint8_t>(pop >> 8), 0x67, 0x77});
    rom.Code({0xE1, 0xFB});  // POP H; EI
    rom.Jump(loop);
    return rom;
}

}  // namespace testing_support

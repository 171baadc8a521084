#!/usr/bin/env python3
"""Writes the seed inputs of fuzz-machine (layout in MachineCheck.cpp) into fuzz/corpus/machine.
   fuzz/machine_seeds.py MONITOR_ROM SOAK_ROM"""
import os
import struct
import sys

SD, MUSE, JOY, MULT, T0, T1, CHAIN, PB0 = 1, 2, 4, 8, 0x10, 0x20, 0x40, 0x80
TYPE, DOWN, UP, JOYSTICK, TAPE, STOP, RESET, WAIT = range(8)


def seed(hardware, length, events, rom):
    out = bytes([hardware, length, len(events)])
    for delta, kind, a, b in events:
        out += bytes([delta, kind, a, b])
    return out + rom


def typed(text, first=100):
    return [(first if i == 0 else 0, TYPE, ord(c), 0) for i, c in enumerate(text)]


def main():
    monitor = open(sys.argv[1], 'rb').read()
    soak = open(sys.argv[2], 'rb').read()
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'corpus', 'machine')
    os.makedirs(folder, exist_ok=True)
    seeds = {
        # The monitor's SD-ROM commands: a listing; a save.
        'monitor-sdrom-dir': seed(SD, 255, typed('dir\n', 200), monitor),
        'monitor-sdrom-save': seed(SD, 255, typed('savesd x 0 9\n', 200), monitor),
        # A tone, with the timers chained and the multiplier fitted.
        'monitor-timer-tone': seed(CHAIN | MULT, 255, typed('b 3e8 64\n', 200), monitor),
        # A tape played while the monitor loads, then stopped half way; a warm reset.
        'monitor-tape': seed(T0 | T1, 255, typed('load 1000\n', 200) +
                             [(255, WAIT, 0, 0), (165, TAPE, 0, 255), (100, STOP, 0, 0), (20, RESET, 0, 0)], monitor),
        # The soak program: Muse, timer interrupts, speaker, serial line, P held and let go, the
        # joystick moved, INTE on PB0.
        'soak': seed(MUSE | CHAIN | JOY | PB0, 120,
                     [(50, DOWN, 0x50, 0), (30, UP, 0x50, 0), (10, JOYSTICK, 0x1F, 0),
                      (10, JOYSTICK, 0, 0), (5, TAPE, 3, 40)], soak),
        # A program that is mostly not there: the reset page and nothing behind it.
        'short-rom': seed(SD | MUSE, 10, [], soak[:64]),
    }
    for name, data in seeds.items():
        with open(os.path.join(folder, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()

#!/usr/bin/env python3
"""The figures of a soak run (scripts/soak.sh) and whether each passes.

The sink recording is 16-bit stereo at 44,100 frames a second. Its right channel carries the
speaker alone: the soak program flips it between two levels at every timer interrupt, 40,000
machine ticks apart, which the sound driver turns into exactly 882 frames (ten periods of 88.2).
So every run of equal samples after the start is 882 frames long (the interrupt waits for the instruction under way and
the routine's path to the speaker varies, which moves an edge by up to two frames and the next
one back) unless the device held a frame or frames were lost, and the number of
edges counts the machine's time against the sink's frames.
"""
import argparse
import array
import itertools
import struct
import sys

RATE = 44100
HALF = 882  # frames between two speaker edges
JITTER = 2
SETTLE_S = 5.0  # the device primes and the first edges may fall in that
MAX_RSS_GROWTH_KB = 2048
HISTORY_SETTLED_S = 600  # see the memory figure
MAX_CLOCK_ERROR = 1e-4


def runs(path):
    """(value, length) of the right channel's runs of equal samples, in order."""
    current, length = None, 0
    with open(path, 'rb') as sink:
        while True:
            chunk = sink.read(1 << 22)
            if len(chunk) < 4:
                break
            chunk = chunk[:len(chunk) - len(chunk) % 4]
            right = array.array('h', chunk)[1::2]
            for value, group in itertools.groupby(right):
                n = len(list(group))
                if value == current:
                    length += n
                else:
                    if current is not None:
                        yield current, length
                    current, length = value, n
    if current is not None:
        yield current, length


def main():
    p = argparse.ArgumentParser()
    for name in ('sink', 'counters', 'rss'):
        p.add_argument('--' + name, required=True)
    p.add_argument('--typed', type=int, required=True)
    for name in ('start', 'stop', 'record-start', 'record-end'):
        p.add_argument('--' + name, type=float, required=True)
    a = p.parse_args()
    verdicts = []

    def verdict(name, ok, text):
        verdicts.append(ok)
        print(f"{name:<14} {'pass' if ok else 'FAIL'}  {text}")

    # The runs after the silence of priming (the first edge) and the settling time.
    position = 0
    edges = []  # (frame, rising)
    lengths = []
    previous = None
    for value, length in runs(a.sink):
        if previous is not None:
            edges.append((position, value > previous))
        lengths.append((position, length))
        previous = value
        position += length
    frames = position
    if len(edges) < 3:
        verdict('sound', False, f'no speaker edges in {frames} recorded frames')
        return 1
    first = edges[0][0]
    settled = first + int(SETTLE_S * RATE)
    # Whole half-periods: from an edge after settling to the next edge (the last run is cut by the
    # end of the recording).
    halves = [(at, n) for at, n in lengths[1:-1] if at >= settled]
    odd = [(at, n) for at, n in halves if abs(n - HALF) > JITTER]
    moved = sum(n - HALF for _, n in odd)
    where = ', '.join(f'{(at - first) / RATE:.2f} s: {n - HALF:+d}' for at, n in odd[:8])
    verdict('held frames', not odd,
            f'{len(odd)} of {len(halves)} half-periods off {HALF} frames by more than {JITTER}, {moved:+d} frames in all'
            + (f' ({where})' if where else ''))

    # Clock: rising edges 40,000 ticks (20 ms of machine time) x 2 apart.
    rising = [at for at, up in edges if up and at >= settled]
    machine_s = (len(rising) - 1) * 0.040
    sink_s = (rising[-1] - rising[0]) / RATE
    ratio = machine_s / sink_s
    wall_s = a.record_end - a.record_start
    sink_rate = frames / wall_s
    verdict('clock', abs(ratio - 1) <= MAX_CLOCK_ERROR,
            f'{machine_s:.3f} s of machine time in {sink_s:.3f} s of the sink: '
            f'{(ratio - 1) * 1e6:+.0f} ppm (the sink took {sink_rate:.1f} frames per wall '
            f'second over {wall_s:.1f} s, the recorder\'s start and end included)')
    # The sink's own rate against the wall clock is only a sanity check: the recorder's start
    # (the sink waits about 1.5 s before it takes from the first stream) and end are inside it.
    print(f"{'sink rate':<14} info  {sink_rate:.1f} frames per wall second over {wall_s:.1f} s")

    # Memory: from the first sample once the rewind history has filled (or the first) to the
    # last. The history keeps the last 60 s of machine time in snapshots; the allocator takes a
    # few minutes to settle into the pattern of dropping and taking them (3.6 MB in 220 s
    # headless, then flat; none with a history one second deep), so growth counts from then.
    samples = [tuple(map(float, line.split())) for line in open(a.rss) if line.strip()]
    if samples:
        base = next((s for s in samples if s[0] - a.start >= HISTORY_SETTLED_S), samples[0])
        early = next((s for s in samples if s[0] - a.start >= 60), samples[0])
        growth = samples[-1][1] - base[1]
        peak = max(s[1] for s in samples)
        verdict('memory', growth <= MAX_RSS_GROWTH_KB,
                f'resident {base[1]:.0f} kB at {base[0] - a.start:.0f} s, {samples[-1][1]:.0f} kB '
                f'at {samples[-1][0] - a.start:.0f} s: {growth:+.0f} kB '
                f'(from {early[1]:.0f} kB at {early[0] - a.start:.0f} s: '
                f'{samples[-1][1] - early[1]:+.0f} kB; peak {peak:.0f} kB, {len(samples)} samples)')
    else:
        verdict('memory', False, 'no samples')

    # Faults: a machine that stopped counts no interrupts and no keys from then on.
    with open(a.counters, 'rb') as f:
        data = f.read()
    if len(data) < 16:
        verdict('faults', False, 'no counters dumped')
    else:
        irqs, presses, sent, rounds, alive = struct.unpack('<IHIIH', data[:16])
        run_s = a.stop - a.start
        counted_s = irqs / 50
        ok = alive == 0x55AA and presses == a.typed and run_s - 10 <= counted_s <= run_s * 1.003
        verdict('faults', ok,
                f'{irqs} interrupts ({counted_s:.1f} s) in {run_s:.1f} s of the window, '
                f'{presses} of {a.typed} P presses counted, {sent} bytes sent, '
                f'{rounds} main loop rounds, marker {alive:04X}')
    return 0 if all(verdicts) else 1


if __name__ == '__main__':
    sys.exit(main())

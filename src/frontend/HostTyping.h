#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/HostKeyboardState.h"

// Text typed at the machine as a person would on a US keyboard: each character becomes its host
// key (with Shift for capitals and shifted punctuation), held down for a while and released for
// a while, in emulated time. The key state goes into the host key table; the keyboard scan
// (HostKeyboard) carries it into the machine's key matrix.
//
// It is one queue, as one person types: a text added while another is still being typed follows
// it instead of mixing its keys in (two hands on one keyboard press Shift for each other's keys
// and the monitor takes the keys of both in one line).
class HostTypist {
  public:
    struct Stroke {
        uint8_t key = 0;  // virtual-key code
        bool shift = false;
    };

    // The stroke for one character; key 0 when a US keyboard has no key for it.
    static Stroke StrokeFor(char c);

    // Nothing to type yet; every key is held `holdMs` and then released for `gapMs`.
    explicit HostTypist(int holdMs = 40, int gapMs = 40);
    // `text` to type from `startMs` of emulated time.
    HostTypist(const std::string& text, int64_t startMs, int holdMs = 40, int gapMs = 40);

    // `text` to type from `atMs`, or once what was added before has been typed when that is
    // later. Characters without a key are skipped.
    void Add(const std::string& text, int64_t atMs);
    // Brings the key table to what it is at `nowMs` of emulated time.
    void Update(int64_t nowMs, HostKeyboardState& keyboard);
    bool Done() const { return next_ >= strokes_.size() && !down_; }
    // When the last key is released and its gap has passed; where the next text may start.
    int64_t EndMs() const { return endMs_; }

  private:
    struct Timed {
        Stroke stroke;
        int64_t pressMs = 0;
    };
    std::vector<Timed> strokes_;
    int holdMs_;
    int gapMs_;
    int64_t endMs_ = 0;
    size_t next_ = 0;
    bool down_ = false;
};

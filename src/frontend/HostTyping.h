#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "machine/HostKeyboardState.h"

// Text typed at the machine as a person would on a US keyboard: each character becomes its host
// key (with Shift for capitals and shifted punctuation), held down for a while and released for
// a while, in emulated time. The key state goes into the host key table; the machine's keyboard
// scan carries it into the key matrix.
class HostTypist {
  public:
    struct Stroke {
        uint8_t key = 0;  // virtual-key code
        bool shift = false;
    };

    // The stroke for one character; key 0 when a US keyboard has no key for it.
    static Stroke StrokeFor(char c);

    // Typing starts at `startMs` of emulated time; every key is held `holdMs` and then released
    // for `gapMs`. Characters without a key are skipped.
    HostTypist(const std::string& text, int64_t startMs, int holdMs = 40, int gapMs = 40);

    // Brings the key table to what it is at `nowMs` of emulated time.
    void Update(int64_t nowMs, HostKeyboardState& keyboard);
    bool Done() const { return next_ >= strokes_.size() && !down_; }
    // When the last key is released.
    int64_t EndMs() const;

  private:
    std::vector<Stroke> strokes_;
    int64_t startMs_;
    int holdMs_;
    int gapMs_;
    size_t next_ = 0;
    bool down_ = false;
};

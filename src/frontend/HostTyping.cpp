#include "frontend/HostTyping.h"

#include <algorithm>
#include <cstring>

#include "frontend/VirtualKeys.h"

namespace {

// US layout: the unshifted and the shifted character of every punctuation key.
struct PunctuationKey {
    char plain;
    char shifted;
    uint8_t key;
};
constexpr PunctuationKey kPunctuation[] = {
    {';', ':', vk::kOem1},     {'=', '+', vk::kOemPlus},   {',', '<', vk::kOemComma},
    {'-', '_', vk::kOemMinus}, {'.', '>', vk::kOemPeriod}, {'/', '?', vk::kOem2},
    {'`', '~', vk::kOem3},     {'[', '{', vk::kOem4},      {'\\', '|', vk::kOem5},
    {']', '}', vk::kOem6},     {'\'', '"', vk::kOem7},
};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

}  // namespace

HostTypist::Stroke HostTypist::StrokeFor(char c) {
    if (c >= 'a' && c <= 'z') return {vk::Char(static_cast<char>(c - 'a' + 'A')), false};
    if (c >= 'A' && c <= 'Z') return {vk::Char(c), true};
    if (c >= '0' && c <= '9') return {vk::Char(c), false};
    if (c == ' ') return {vk::kSpace, false};
    if (c == '\n' || c == '\r') return {vk::kReturn, false};
    if (c == '\t') return {vk::kTab, false};
    if (c != '\0') {
        if (const char* at = std::strchr(kShiftedDigits, c)) {
            return {vk::Char(static_cast<char>('0' + (at - kShiftedDigits))), true};
        }
    }
    for (const PunctuationKey& key : kPunctuation) {
        if (c == key.plain) return {key.key, false};
        if (c == key.shifted) return {key.key, true};
    }
    return {};
}

HostTypist::HostTypist(int holdMs, int gapMs) : holdMs_(holdMs), gapMs_(gapMs) {}

HostTypist::HostTypist(const std::string& text, int64_t startMs, int holdMs, int gapMs)
    : HostTypist(holdMs, gapMs) {
    endMs_ = startMs;
    Add(text, startMs);
}

void HostTypist::Add(const std::string& text, int64_t atMs) {
    int64_t at = strokes_.empty() ? atMs : std::max(atMs, endMs_);
    for (char c : text) {
        const Stroke stroke = StrokeFor(c);
        if (stroke.key == 0) continue;
        strokes_.push_back({stroke, at});
        at += holdMs_ + gapMs_;
    }
    endMs_ = std::max(endMs_, at);
}

void HostTypist::Update(int64_t nowMs, HostKeyboardState& keyboard) {
    while (true) {
        if (down_) {
            const Timed& timed = strokes_[next_ - 1];
            if (nowMs < timed.pressMs + holdMs_) return;
            keyboard.Release(timed.stroke.key);
            if (timed.stroke.shift) keyboard.Release(vk::kShift);
            down_ = false;
            continue;
        }
        if (next_ >= strokes_.size()) return;
        const Timed& timed = strokes_[next_];
        if (nowMs < timed.pressMs) return;
        ++next_;
        if (timed.stroke.shift) keyboard.Press(vk::kShift);
        keyboard.Press(timed.stroke.key);
        down_ = true;
    }
}

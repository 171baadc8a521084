#include "frontend/HostTyping.h"

#include <cstring>

#include "machine/VirtualKeys.h"

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

HostTypist::HostTypist(const std::string& text, int64_t startMs, int holdMs, int gapMs)
    : startMs_(startMs), holdMs_(holdMs), gapMs_(gapMs) {
    for (char c : text) {
        Stroke stroke = StrokeFor(c);
        if (stroke.key != 0) strokes_.push_back(stroke);
    }
}

int64_t HostTypist::EndMs() const {
    return startMs_ + static_cast<int64_t>(strokes_.size()) * (holdMs_ + gapMs_);
}

void HostTypist::Update(int64_t nowMs, HostKeyboardState& keyboard) {
    const int64_t cycle = holdMs_ + gapMs_;
    while (true) {
        if (down_) {
            const Stroke& stroke = strokes_[next_ - 1];
            int64_t releaseAt = startMs_ + static_cast<int64_t>(next_ - 1) * cycle + holdMs_;
            if (nowMs < releaseAt) return;
            keyboard.Release(stroke.key);
            if (stroke.shift) keyboard.Release(vk::kShift);
            down_ = false;
            continue;
        }
        if (next_ >= strokes_.size()) return;
        int64_t pressAt = startMs_ + static_cast<int64_t>(next_) * cycle;
        if (nowMs < pressAt) return;
        const Stroke& stroke = strokes_[next_++];
        if (stroke.shift) keyboard.Press(vk::kShift);
        keyboard.Press(stroke.key);
        down_ = true;
    }
}

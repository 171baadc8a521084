#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The byte stream a machine part saves its state to and restores it from. Numbers are stored
// little-endian and fixed in width, so a stream reads the same on every host. A reader never
// reads past its end: a short or malformed stream sets Failed() and yields zeros, so a part's
// loader can read everything first and check once.
class StateWriter {
  public:
    explicit StateWriter(std::vector<uint8_t>& out) : out_(out) {}

    void U8(uint8_t v) { out_.push_back(v); }
    void Bool(bool v) { out_.push_back(v ? 1 : 0); }
    void U16(uint16_t v) { Le(v, 2); }
    void U32(uint32_t v) { Le(v, 4); }
    void I32(int32_t v) { Le(static_cast<uint32_t>(v), 4); }
    void U64(uint64_t v) { Le(v, 8); }
    void I64(int64_t v) { Le(static_cast<uint64_t>(v), 8); }
    void Bytes(const uint8_t* data, size_t length) {
        if (length != 0) out_.insert(out_.end(), data, data + length);
    }
    // A length-prefixed text (at most 2^32-1 bytes).
    void Text(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        Bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    }
    size_t Size() const { return out_.size(); }
    std::vector<uint8_t>& Buffer() { return out_; }

  private:
    void Le(uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    std::vector<uint8_t>& out_;
};

class StateReader {
  public:
    StateReader(const uint8_t* data, size_t length) : data_(data), end_(length) {}

    uint8_t U8() { return static_cast<uint8_t>(Le(1)); }
    // Any byte but 0 and 1 is a malformed stream, not "true".
    bool Bool() {
        const uint8_t v = U8();
        if (v > 1) failed_ = true;
        return v == 1;
    }
    uint16_t U16() { return static_cast<uint16_t>(Le(2)); }
    uint32_t U32() { return static_cast<uint32_t>(Le(4)); }
    int32_t I32() { return static_cast<int32_t>(static_cast<uint32_t>(Le(4))); }
    uint64_t U64() { return Le(8); }
    int64_t I64() { return static_cast<int64_t>(Le(8)); }
    // A byte that must be at most `max`.
    uint8_t U8Max(uint8_t max) {
        const uint8_t v = U8();
        if (v > max) failed_ = true;
        return v;
    }
    // A number that must lie in [min, max].
    int32_t I32In(int32_t min, int32_t max) {
        const int32_t v = I32();
        if (v < min || v > max) failed_ = true;
        return v < min || v > max ? min : v;
    }
    bool Bytes(uint8_t* out, size_t length) {
        if (!Have(length)) {
            std::memset(out, 0, length);
            return false;
        }
        if (length != 0) std::memcpy(out, data_ + at_, length);
        at_ += length;
        return true;
    }
    // `length` bytes in place, or null (and failed) when the stream is shorter.
    const uint8_t* Take(size_t length) {
        if (!Have(length)) return nullptr;
        const uint8_t* at = data_ + at_;
        at_ += length;
        return at;
    }
    std::string Text(size_t maxLength) {
        const uint32_t length = U32();
        if (length > maxLength || !Have(length)) {
            failed_ = true;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(data_ + at_), length);
        at_ += length;
        return text;
    }
    void Fail() { failed_ = true; }
    bool Failed() const { return failed_; }
    // Every byte read and nothing wrong.
    bool Complete() const { return !failed_ && at_ == end_; }
    size_t Remaining() const { return end_ - at_; }

  private:
    bool Have(size_t length) {
        if (failed_ || length > end_ - at_) {
            failed_ = true;
            return false;
        }
        return true;
    }
    uint64_t Le(int bytes) {
        if (!Have(static_cast<size_t>(bytes))) return 0;
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= static_cast<uint64_t>(data_[at_ + i]) << (8 * i);
        at_ += static_cast<size_t>(bytes);
        return v;
    }
    const uint8_t* data_;
    size_t end_;
    size_t at_ = 0;
    bool failed_ = false;
};

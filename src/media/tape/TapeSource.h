#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// Bytes of a tape image read by position: the file itself, or bytes already in memory.
class TapeSource {
  public:
    virtual ~TapeSource() = default;
    // Size in bytes, or -1 when it cannot be told.
    virtual int64_t Size() const = 0;
    // Reads up to `count` bytes at `position`; returns how many were read.
    virtual size_t ReadAt(int64_t position, uint8_t* out, size_t count) = 0;
};

class MemoryTapeSource : public TapeSource {
  public:
    explicit MemoryTapeSource(std::string_view bytes) : bytes_(bytes) {}
    int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
    size_t ReadAt(int64_t position, uint8_t* out, size_t count) override;

  private:
    std::string_view bytes_;
};

class FileTapeSource : public TapeSource {
  public:
    explicit FileTapeSource(const std::string& path);
    ~FileTapeSource() override;
    FileTapeSource(const FileTapeSource&) = delete;
    FileTapeSource& operator=(const FileTapeSource&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    int64_t Size() const override { return size_; }
    size_t ReadAt(int64_t position, uint8_t* out, size_t count) override;

  private:
    std::FILE* file_ = nullptr;
    int64_t size_ = -1;
};

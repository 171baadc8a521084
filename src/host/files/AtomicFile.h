#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Whole-file reads and writes for every file the programs keep or hand to the user
// (configuration, pictures, memory dumps, assembler outputs). This library depends on nothing
// else, so the command-line tools write files exactly as the emulator does.
namespace files {

enum class ReadResult { Ok, Missing, TooLarge, Failed };

// Reads the whole file into `contents` (cleared first). A file larger than maxBytes is not
// read at all: these files are small, and a huge one is a mistake, not a setting.
ReadResult ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string& contents);

// A new version of a file, written whole beside its target and moved over it only on Commit(),
// so a reader (or a crash, or a full disk) sees either the old file or the complete new one.
// A program with several outputs prepares them all first and commits them only when each one
// is complete. An AtomicFile dropped without Commit() removes its temporary file.
class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Writes `contents` to a fresh temporary file in the target's folder and flushes it to the
    // disk. A symbolic link is followed, so the file it points to is the one replaced and the
    // link stays. An existing target's permissions (and, where allowed, owner) carry over; a
    // new file gets the usual 0666 less the umask. A target that exists but is not a regular
    // file (a folder, a device, a pipe) is refused rather than replaced. On failure nothing is
    // left behind, `error` (when given) says why and errno is that of the failing step.
    bool Prepare(const std::string& path, std::string_view contents, std::string* error = nullptr);

    // Renames the prepared file over the target and flushes the folder so the rename lasts.
    // On failure the target is untouched and the temporary is removed.
    bool Commit(std::string* error = nullptr);

    // Removes the temporary file, if any; the target is untouched.
    void Discard();

    bool Prepared() const { return !temporary_.empty(); }

  private:
    std::string target_;     // after following links: the file actually replaced
    std::string temporary_;  // empty when nothing is prepared
};

// Prepare() and Commit() in one go: the usual way to write a file.
bool WriteFileAtomically(const std::string& path, std::string_view contents,
                         std::string* error = nullptr);

inline bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                                std::string* error = nullptr) {
    return WriteFileAtomically(
        path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

}  // namespace files

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the SD-ROM module needs of the card it serves: a folder tree reached by relative paths.
// The module never names a host file itself; it hands over paths below the card's root, and the
// storage decides where (and whether) they lead on the host.
//
// Paths are the machine's bytes (Latin-1), components joined by "/", never empty, "." or "..";
// the empty path is the root itself. A storage still refuses anything else it is given
// (Outcome::Refused), and anything that would lead outside the root, so that no mistake on
// this side can reach another host file.
class SdRomStorage {
  public:
    enum class Outcome { Ok, Missing, Exists, NotEmpty, Refused, Failed };

    // Attribute bits as the machine's software knows them.
    static constexpr uint8_t kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kFolder = 0x10,
                             kArchive = 0x20;

    struct Entry {
        std::string name;  // Latin-1; a host character beyond it reads as '?'
        uint8_t attributes = 0;
        uint64_t size = 0;
        bool link = false;  // the name is a host link (Stat only): writing it would follow it
    };

    virtual ~SdRomStorage() = default;

    // Characters in the root folder's own path: the machine's software counts the whole host
    // path against its limit of 128.
    virtual size_t RootLength() const = 0;

    virtual Outcome Stat(const std::string& path, Entry& entry) = 0;
    // The folder's entries sorted by name, without "." and "..".
    virtual Outcome List(const std::string& folder, std::vector<Entry>& entries) = 0;
    // Up to `capacity` bytes of a regular file from `offset` on; `got` = how many.
    virtual Outcome Read(const std::string& path, uint64_t offset, uint8_t* out, size_t capacity,
                         size_t& got) = 0;

    virtual Outcome MakeFolder(const std::string& path) = 0;
    virtual Outcome RemoveFolder(const std::string& path) = 0;
    virtual Outcome DeleteFile(const std::string& path) = 0;
    // Exists when `to` is already there.
    virtual Outcome Rename(const std::string& from, const std::string& to) = 0;
    // Read-only, hidden, system and archive as in the attribute byte; Failed for a change the
    // host cannot make.
    virtual Outcome SetAttributes(const std::string& path, uint8_t attributes) = 0;

    // Writes `count` bytes at `position` of the file being written (position 0 starts it
    // afresh). The storage may gather the blocks and store the file when it is closed: by the
    // last block, by CloseWrite, or when the storage goes.
    virtual Outcome Write(const std::string& path, uint64_t position, const uint8_t* data,
                          size_t count, bool last) = 0;
    virtual Outcome CloseWrite() = 0;
};

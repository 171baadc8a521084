#pragma once

#include <cstdint>
#include <string>

#include "machine/SdRomStorage.h"

namespace media {

// The SD-ROM module's card: a host folder (the root) and everything below it, for software on
// the emulated machine, which is not to be trusted with the host. Every path is resolved again
// when it is used: its folders by the host's own resolution (so links inside the tree work),
// and it is refused unless that lands inside the root; a symbolic link as the last name is
// followed only to a place inside the root too, and is otherwise refused. Nothing the machine
// sends can read, write, rename or delete a host file outside the root.
//
// Attributes as the machine knows them, on a POSIX host: read-only = no write permission for
// the owner; hidden = a name starting with "."; system = anything but a regular file or a
// folder (devices, pipes, sockets), which the module never lists, opens or deletes; folder =
// 0x10; archive = every regular file, as a fresh file has it. Read-only can be set and cleared;
// hidden and system cannot be changed through attributes (that would rename or re-type the
// file), archive is accepted and ignored.
//
// Names are Latin-1 on the machine's side and UTF-8 on the host. Written files are gathered
// and stored whole through files::WriteFileAtomically when closed (the last block, another
// open for writing, a failed block, or the storage going away), so a reader sees either the
// old file or the whole new one.
class SdRomFolder : public SdRomStorage {
  public:
    // Beyond this a file being written is refused (write error): the machine's software may
    // send blocks for ever, the host's memory is not for ever.
    static constexpr uint64_t kMaxWriteSize = 16u << 20;
    static constexpr size_t kMaxEntries = 65536;

    // `rootPath` absolute, or relative to `programFolder` (which ends with "/"); "\" counts as
    // "/".
    SdRomFolder(const std::string& rootPath, const std::string& programFolder);
    ~SdRomFolder() override;
    SdRomFolder(const SdRomFolder&) = delete;
    SdRomFolder& operator=(const SdRomFolder&) = delete;

    // Absolute, "/"-separated, without a trailing "/".
    const std::string& Root() const { return root_; }

    size_t RootLength() const override;
    Outcome Stat(const std::string& path, Entry& entry) override;
    Outcome List(const std::string& folder, std::vector<Entry>& entries) override;
    Outcome Read(const std::string& path, uint64_t offset, uint8_t* out, size_t capacity,
                 size_t& got) override;
    Outcome MakeFolder(const std::string& path) override;
    Outcome RemoveFolder(const std::string& path) override;
    Outcome DeleteFile(const std::string& path) override;
    Outcome Rename(const std::string& from, const std::string& to) override;
    Outcome SetAttributes(const std::string& path, uint8_t attributes) override;
    Outcome Write(const std::string& path, uint64_t position, const uint8_t* data, size_t count,
                  bool last) override;
    Outcome CloseWrite() override;

  private:
    // A machine path made into a host path: its folder part real and inside the root, its last
    // name no symbolic link (one that was is followed when asked, else kept as the link).
    struct Resolved {
        Outcome outcome = Outcome::Failed;
        std::string host;      // the path to use
        std::string leafName;  // the machine's last name ("" for the root)
        bool exists = false;
    };
    Resolved Resolve(const std::string& path, bool followLast) const;
    Outcome Commit();

    std::string root_;
    bool writing_ = false;
    std::string writePath_;
    std::string written_;
};

}  // namespace media

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "machine/Closure.h"
#include "machine/SdRomPattern.h"
#include "machine/SdRomStorage.h"

class SdRomBanks;
class StateArchive;

// One command frame of the SD-ROM protocol as the receiver collected it.
struct SdRomFrame {
    uint8_t command = 0;
    int nameLength = 0;  // the length byte; the listing takes 32 and more as "next entry"
    std::string name;
    std::string secondName;  // rename's new name
    int loadOffset = 0;      // 0..3FFF
    uint8_t attribute = 0xFF;
    bool lastBlock = false;
    const uint8_t* block = nullptr;
    int blockCount = 0;  // 1..256
};

// What the module does with a frame: the card's files through the storage, the ROM window
// through the banks. It keeps the state the machine's software builds up over several
// commands: the current folder, the listing's position, the files open for reading and
// writing (as a path and a position, never as an open host file).
class SdRomCommands {
  public:
    enum Result : uint8_t {
        kDone = 0,
        kCreateFailed = 1,
        kBadLength = 2,
        kNotFound = 3,
        kAttributesFailed = 4,
        kReadError = 5,
        kWriteError = 6,
        kProtected = 7,
        kNotOpen = 8,
        kEndOfFile = 9,
        kNotEmpty = 12,
        kExists = 13,
        kInvalidName = 14,
    };
    static constexpr int kMaxName = 31;
    static constexpr int kMaxPath = 127;
    static constexpr size_t kPathLimit = 128;  // a whole host path must stay below it
    static constexpr char kFirmwareName[] = "tevrinsdrom.rmm";
    static constexpr int kFirmwareSize = 0x3000;

    // Gets the new current folder (UTF-8) whenever the machine changes it, to be kept in the
    // configuration; an empty one when the configured folder was not usable.
    using FolderChanged = Closure<void(const std::string& folderUtf8)>;

    // `currentFolderUtf8` as configured: a folder below the root, "/"-separated.
    SdRomCommands(SdRomStorage& storage, SdRomBanks& banks, const std::string& currentFolderUtf8,
                  FolderChanged folderChanged);

    // Reads the firmware from the root into the image bank; true when it gave any byte.
    bool LoadFirmware();

    // Runs the frame; the reply data (without its checksum) only counts with kDone.
    uint8_t Execute(const SdRomFrame& frame, std::vector<uint8_t>& reply);

    // Latin-1, "" at the root.
    const std::string& CurrentFolder() const { return current_; }
    // The file open for writing, "" when none.
    const std::string& WritePath() const { return writePath_; }

    // The state that decides the future, for snapshots (its owner's section holds it).
    void Serialize(StateArchive& a);

  private:
    uint8_t CheckFileName(const std::string& name, bool isPath, std::string& path) const;
    uint8_t CheckPlainName(const std::string& name, bool wildcards) const;
    size_t HostLength(const std::string& path) const;
    static bool IsDotName(const std::string& name) { return name == "." || name == ".."; }
    static void PutSize(std::vector<uint8_t>& reply, uint64_t size);

    uint8_t ChangeFolder(const std::string& name);
    uint8_t List(const SdRomFrame& frame, std::vector<uint8_t>& reply);
    uint8_t MakeFolder(const std::string& name);
    uint8_t Delete(const std::string& name);
    uint8_t RemoveFolder(const std::string& name);
    uint8_t Rename(const std::string& from, const std::string& to);
    uint8_t Attributes(const SdRomFrame& frame, std::vector<uint8_t>& reply);
    uint8_t OpenRead(const SdRomFrame& frame, std::vector<uint8_t>& reply);
    uint8_t ReadNext(std::vector<uint8_t>& reply);
    uint8_t OpenWrite(const SdRomFrame& frame);
    uint8_t WriteBlock(const SdRomFrame& frame);
    uint8_t LoadFile(const SdRomFrame& frame);
    void DropReplacedFile();

    SdRomStorage& storage_;
    SdRomBanks& banks_;
    FolderChanged folderChanged_;
    std::string current_;
    // The listing: the folder's entries when it was restarted, and the next one to look at.
    std::vector<SdRomStorage::Entry> listing_;
    size_t listed_ = 0;
    SdRomPattern pattern_;
    std::string readPath_;
    int64_t readPosition_ = -1;
    std::string writePath_;
    int64_t writePosition_ = -1;
    // The file a write opened with no block yet replaces: it goes with the first other command,
    // or when the new one is stored over it.
    std::string replaced_;
};

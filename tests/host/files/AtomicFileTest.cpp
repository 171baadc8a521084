#include "host/files/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempFolder;
namespace fs = std::filesystem;

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

// What every failure must leave: the old bytes, nothing else in the folder, and a reason.
void ExpectFailureKeepsTheOldFile(const std::string& target, const std::string& old,
                                  const std::string& folder, int expectedErrno) {
    const std::string before = ReadFile(old);
    const std::vector<std::string> namesBefore = NamesIn(folder);
    std::string error;
    errno = 0;
    EXPECT_FALSE(files::WriteFileAtomically(target, std::string(256 * 1024, 'n'), &error))
        << target;
    EXPECT_EQ(errno, expectedErrno) << target;
    EXPECT_NE(error.find(std::strerror(expectedErrno)), std::string::npos) << error;
    EXPECT_EQ(ReadFile(old), before) << old;
    EXPECT_EQ(NamesIn(folder), namesBefore) << "a temporary was left in " << folder;
}

TEST(AtomicFile, ReplacesTheContentAndKeepsThePermissions) {
    TempFolder folder;
    std::string path = folder.Write("settings.xml", "old and longer than the new content");
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    std::string error;
    ASSERT_TRUE(files::WriteFileAtomically(path, "new", &error)) << error;
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(ModeOf(path), 0604u);

    // A new file gets what any program would give it: 0666 less the umask.
    mode_t previous = ::umask(027);
    bool made = files::WriteFileAtomically(folder / "fresh.bin", std::vector<uint8_t>{0, 0xFF});
    ::umask(previous);
    ASSERT_TRUE(made);
    EXPECT_EQ(ReadFile(folder / "fresh.bin"), std::string("\0\xFF", 2));
    EXPECT_EQ(ModeOf(folder / "fresh.bin"), 0640u);
    EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"fresh.bin", "settings.xml"}));
}

TEST(AtomicFile, WritesThroughSymbolicLinksWhichStayLinks) {
    TempFolder folder;
    std::string real = folder.Write("real/rom.bin", "old");
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    fs::create_symlink("real/rom.bin", folder / "link");  // relative to the link's folder
    fs::create_symlink(folder / "link", folder / "chain");
    fs::create_symlink("real/made.bin", folder / "dangling");

    ASSERT_TRUE(files::WriteFileAtomically(folder / "chain", "new"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "chain")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "link")));
    EXPECT_EQ(ReadFile(real), "new");
    EXPECT_EQ(ModeOf(real), 0600u);

    // A link to nothing yet: the file appears where it points.
    ASSERT_TRUE(files::WriteFileAtomically(folder / "dangling", "made"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "dangling")));
    EXPECT_EQ(ReadFile(folder / "real/made.bin"), "made");

    EXPECT_EQ(NamesIn(folder.Path()),
              (std::vector<std::string>{"chain", "dangling", "link", "real"}));
    EXPECT_EQ(NamesIn(folder / "real"), (std::vector<std::string>{"made.bin", "rom.bin"}));

    fs::create_symlink("loop", folder / "loop");
    std::string error;
    EXPECT_FALSE(files::WriteFileAtomically(folder / "loop", "x", &error));
    EXPECT_NE(error.find(std::strerror(ELOOP)), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(folder / "loop")));
}

TEST(AtomicFile, FailuresLeaveTheOldFileAndNoTemporary) {
    TempFolder folder;
    std::string old = folder.Write("old.bin", "old bytes");
    // No folder to put anything in: even root cannot write under a regular file.
    ExpectFailureKeepsTheOldFile(old + "/inside.bin", old, folder.Path(), ENOTDIR);

    // A pipe or a device is not replaced by a plain file (root could, even in /dev).
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    ExpectFailureKeepsTheOldFile(folder / "pipe", old, folder.Path(), EINVAL);
    EXPECT_TRUE(fs::is_fifo(folder / "pipe"));
    folder.MakeFolder("sub");
    ExpectFailureKeepsTheOldFile(folder / "sub", old, folder.Path(), EISDIR);

    // A folder closed to writing only stops someone who is not root.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(folder.Path().c_str(), 0500), 0);
        ExpectFailureKeepsTheOldFile(old, old, folder.Path(), EACCES);
        ::chmod(folder.Path().c_str(), 0700);
    }
}

TEST(AtomicFile, APreparedFileReplacesNothingUntilCommitted) {
    TempFolder folder;
    std::string path = folder.Write("rom.bin", "old");
    {
        files::AtomicFile dropped;
        ASSERT_TRUE(dropped.Prepare(path, "never committed"));
        EXPECT_EQ(ReadFile(path), "old");
        EXPECT_EQ(NamesIn(folder.Path()).size(), 2u) << "the prepared temporary";
    }
    EXPECT_EQ(NamesIn(folder.Path()), std::vector<std::string>{"rom.bin"});

    // The target turns into a folder between the two steps: the rename fails and cleans up.
    files::AtomicFile late;
    ASSERT_TRUE(late.Prepare(folder / "late", "new"));
    fs::create_directory(folder / "late");
    std::string error;
    EXPECT_FALSE(late.Commit(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(fs::is_directory(folder / "late"));
    EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"late", "rom.bin"}));

    files::AtomicFile done;
    ASSERT_TRUE(done.Prepare(path, "new"));
    ASSERT_TRUE(done.Commit());
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(NamesIn(folder.Path()), (std::vector<std::string>{"late", "rom.bin"}));
}

// A small tmpfs mounted over a folder for the test's lifetime; unmounted before the folder goes.
class SmallDisk {
  public:
    explicit SmallDisk(const std::string& where) : where_(where) {
        mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, "size=64k") == 0;
        if (!mounted_) error_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_ && ::umount(where_.c_str()) != 0) ::umount2(where_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    const std::string& Error() const { return error_; }

  private:
    std::string where_;
    std::string error_;
    bool mounted_ = false;
};

TEST(AtomicFile, AFullDiskLeavesTheOldFile) {
    TempFolder folder;
    std::string where = folder.MakeFolder("disk");
    SmallDisk disk(where);
    if (!disk.Mounted()) {
        GTEST_SKIP() << "cannot mount a 64 KB tmpfs here (" << disk.Error()
                     << "); filling a disk needs root";
    }
    std::string old = folder.Write("disk/dump.bin", std::string(1000, 'o'));
    // 256 KB cannot fit in 64 KB.
    ExpectFailureKeepsTheOldFile(old, old, where, ENOSPC);
    // The space the failed write took is given back: a file that fits still goes in.
    std::string error;
    EXPECT_TRUE(files::WriteFileAtomically(old, std::string(20000, 'f'), &error)) << error;
    EXPECT_EQ(ReadFile(old), std::string(20000, 'f'));
}

}  // namespace

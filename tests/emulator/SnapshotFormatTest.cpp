// Stored snapshots of a few moments of the monitor ROM: files users keep must go on loading as
// they are, and the same moment must still be saved as the same bytes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "emulator/Snapshot.h"
#include "host/audio/FakeSoundStream.h"
#include "support/MonitorRomMachine.h"
#include "support/TempFolder.h"

namespace {

using testing_support::MonitorRomMachine;
using testing_support::TempFolder;

// Where the stored files are; TEVRIN_WRITE_SNAPSHOT_DATA names a folder to write them to
// instead, for when a moment itself has to change.
std::string DataPath(const std::string& name) {
    return std::string(TEVRIN_TEST_DATA_DIR) + "/snapshot/" + name;
}

struct Moment {
    const char* file;
    bool sound;  // the Muse board fitted
    bool sdRom;  // the module connected, its card holding big.dat
    // Runs the machine from its start to the moment.
    std::function<void(MonitorRomMachine&)> reach;
};

void PrintTo(const Moment& moment, std::ostream* out) {
    *out << moment.file;
}

// An OUT to the GPIO's port `port` of `value`, as the processor runs it.
void Out(std::vector<uint8_t>& code, uint8_t port, uint8_t value) {
    code.insert(code.end(), {0x3E, value, 0xD3, port});  // MVI A,value; OUT port
}

const Moment kMoments[] = {
    // At the prompt, the Muse sounding a tone: its generators, envelopes and mixer are mid-way.
    {"prompt-sound.tvs", true, false,
     [](MonitorRomMachine& m) {
         ASSERT_TRUE(m.RunUntilMs(1000));
         std::vector<uint8_t> code;
         Out(code, 0xC7, 0x80);  // every GPIO port an output
         for (auto [reg, value] : {std::pair<uint8_t, uint8_t>{0x00, 0x9F},
                                   {0x08, 0x80},
                                   {0x10, 0x03},
                                   {0x14, 0x01},
                                   {0x18, 0x82},
                                   {0x1C, 0x01}}) {
             for (auto [data, strobe] : {std::pair<uint8_t, uint8_t>{reg, 0x0B}, {value, 0x0F}}) {
                 Out(code, 0xC6, 0x02);
                 Out(code, 0xC4, static_cast<uint8_t>(~data));
                 Out(code, 0xC6, strobe);
             }
             Out(code, 0xC6, 0x02);
         }
         code.push_back(0xC9);  // RET
         for (size_t i = 0; i < code.size(); ++i) {
             MachineTestAccess::Memory(m.M()).Write(static_cast<uint16_t>(0x3000 + i), code[i]);
         }
         ASSERT_TRUE(m.Type("g 3000\n", 300));
     }},
    // LOAD waiting in the middle of a record: the tape player and the receiver both busy.
    {"tape.tvs", false, false,
     [](MonitorRomMachine& m) {
         ASSERT_TRUE(m.RunUntilMs(1000));
         ASSERT_TRUE(m.Type("load 4000\n", 50));
         // The player reads the bytes where they are for as long as the machine runs.
         static const std::vector<uint8_t> record = [] {
             std::vector<uint8_t> bytes;
             for (int i = 0; i < 700; ++i) bytes.push_back(static_cast<uint8_t>(i * 7 + 3));
             return bytes;
         }();
         m.M().Tape().StartPlayback(record.data(), static_cast<int32_t>(record.size()), false);
         ASSERT_TRUE(m.RunForMs(400));
         ASSERT_GT(m.M().Tape().BytesRemaining(), 0);
     }},
    // A file coming in from the module: the frames, the reply and the open file are mid-way.
    {"sdrom.tvs", false, true,
     [](MonitorRomMachine& m) {
         ASSERT_TRUE(m.RunUntilMs(1000));
         ASSERT_TRUE(m.Type("loadsd big.dat 4000\n", 30));
         for (const std::string& line : m.Lines()) ASSERT_EQ(line.find("LOADED"), line.npos);
     }},
};

class SnapshotFormat : public ::testing::TestWithParam<Moment> {
  protected:
    // A machine with the moment's hardware, started from its reset.
    std::unique_ptr<MonitorRomMachine> Make() {
        const Moment& moment = GetParam();
        auto m = std::make_unique<MonitorRomMachine>(
            [&](config::Settings& s) {
                s.Set(config::keys::kMuse, moment.sound);
                s.Set(config::keys::kSoundDeviceIndex, moment.sound ? 0 : -1);
            },
            audio.Opener());
        if (moment.sdRom) {
            std::string big;
            for (int i = 0; i < 5000; ++i) big.push_back(static_cast<char>(i * 13 + 1));
            card.Write("big.dat", big);
            m->ConnectSdRom(card.Path());
        }
        return m;
    }
    static std::vector<uint8_t> Save(Machine& m) {
        std::vector<uint8_t> bytes;
        m.SaveSnapshot(bytes);
        return bytes;
    }

    FakeStreamOpener audio;
    TempFolder card;
};

TEST_P(SnapshotFormat, StoredMomentLoadsSavesBackAndIsStillSavedAlike) {
    const Moment& moment = GetParam();
    std::unique_ptr<MonitorRomMachine> live = Make();
    ASSERT_NO_FATAL_FAILURE(moment.reach(*live));
    const std::vector<uint8_t> now = Save(live->M());
    if (const char* folder = std::getenv("TEVRIN_WRITE_SNAPSHOT_DATA")) {
        std::ofstream(std::string(folder) + "/" + moment.file, std::ios::binary)
            .write(reinterpret_cast<const char*>(now.data()),
                   static_cast<std::streamsize>(now.size()));
    }
    const std::string text = testing_support::ReadFile(DataPath(moment.file));
    const std::vector<uint8_t> stored(text.begin(), text.end());
    ASSERT_FALSE(stored.empty());
    EXPECT_TRUE(now == stored) << "the same moment is now saved differently";

    // Into a machine that has been elsewhere: every field read goes back out where it was.
    std::unique_ptr<MonitorRomMachine> restored = Make();
    ASSERT_TRUE(restored->RunUntilMs(300));
    ASSERT_EQ(restored->M().LoadSnapshot(stored.data(), stored.size()), snapshot::LoadError::None);
    EXPECT_TRUE(Save(restored->M()) == stored) << "loaded and saved back, the bytes differ";
    EXPECT_EQ(restored->NowMs(), live->NowMs());
    EXPECT_EQ(restored->Rows(), live->Rows());
}

INSTANTIATE_TEST_SUITE_P(Stored, SnapshotFormat, ::testing::ValuesIn(kMoments),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

}  // namespace

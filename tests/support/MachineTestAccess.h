#pragma once

#include "emulator/Machine.h"
#include "machine/ScreenPicture.h"
#include "machine/ScreenRenderer.h"

// The board behind the machine's views, for the few checks no view answers (the port map, the
// key matrix, a recorder on the speaker).
struct MachineTestAccess {
    static Board& BoardOf(Machine& m) { return *m.board_; }
    static ChipCpu8080P& Cpu(Machine& m) { return *m.board_->Cpu(); }
    static MemoryOrganizer& Organizer(Machine& m) { return *m.board_->Organizer(); }
    static SystemPIO& SystemPio(Machine& m) { return *m.board_->SystemPio(); }
    static ScreenTevrin& Screen(Machine& m) { return m.board_->Screen(); }
    static ChipMemory& Memory(Machine& m) { return *m.board_->Memory(); }
    static IfSerial& Serial(Machine& m) { return *m.board_->Serial(); }
    static const media::SdRomFolder* SdCard(const Machine& m) { return m.board_->SdCard(); }
};

namespace testing_support {

// The machine's picture at 100 % in colour, as the headless screenshot shows it. Call it on the
// thread that runs the machine, or with the machine paused.
inline ScreenPicture PictureOf(const Machine& machine) {
    const Machine::VideoView video = machine.Video();
    ScreenPicture picture;
    picture.width = picture.height = screen::kVideoSize;
    picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
    screen::RenderPlanes(video.redPlane, video.scrollRegister, false, false, picture.pixels.data());
    return picture;
}

}  // namespace testing_support

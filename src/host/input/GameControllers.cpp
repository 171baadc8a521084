#include "host/input/GameControllers.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace input {

namespace {

uint32_t Little(const ControllerId& id, size_t at, size_t bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) value |= static_cast<uint32_t>(id[at + i]) << (8 * i);
    return value;
}

ControllerId FromSdl(const SDL_JoystickGUID& guid) {
    ControllerId id{};
    for (size_t i = 0; i < id.size(); ++i) id[i] = guid.data[i];
    return id;
}

class SdlController : public JoyController {
  public:
    explicit SdlController(SDL_Joystick* joystick) : joystick_(joystick) {}
    ~SdlController() override { SDL_JoystickClose(joystick_); }

    bool Acquire() override {
        acquired_ = SDL_JoystickGetAttached(joystick_) == SDL_TRUE;
        return acquired_;
    }
    void Unacquire() override { acquired_ = false; }

    // SDL is polled: every call reads the controller afresh.
    bool Read(JoyControllerState& state) override {
        if (!acquired_) return false;
        SDL_JoystickUpdate();
        if (SDL_JoystickGetAttached(joystick_) != SDL_TRUE) return false;
        state = {};
        if (SDL_JoystickNumAxes(joystick_) >= 2) {
            state.x = ScaleAxis(SDL_JoystickGetAxis(joystick_, 0));
            state.y = ScaleAxis(SDL_JoystickGetAxis(joystick_, 1));
        }
        const int hats = std::min<int>(SDL_JoystickNumHats(joystick_), 4);
        for (int i = 0; i < hats; ++i) {
            state.hats[static_cast<size_t>(i)] = HatHundredths(SDL_JoystickGetHat(joystick_, i));
        }
        const int buttons = std::min<int>(SDL_JoystickNumButtons(joystick_), 32);
        for (int i = 0; i < buttons; ++i) {
            state.buttons[static_cast<size_t>(i)] = SDL_JoystickGetButton(joystick_, i) ? 0x80 : 0;
        }
        return true;
    }

  private:
    SDL_Joystick* joystick_;
    bool acquired_ = false;
};

}  // namespace

std::string ControllerIdText(const ControllerId& id) {
    char text[64];
    std::snprintf(text, sizeof text, "%08X,%04X,%04X,%02X,%02X,%02X,%02X,%02X,%02X,%02X,%02X",
                  Little(id, 0, 4), Little(id, 4, 2), Little(id, 6, 2), id[8], id[9], id[10],
                  id[11], id[12], id[13], id[14], id[15]);
    return text;
}

std::optional<ControllerId> ParseControllerIdText(const std::string& text) {
    // Field widths in hex digits; each field is read whole or the text is refused.
    static constexpr int kWidths[11] = {8, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};
    ControllerId id{};
    size_t pos = 0;
    for (int field = 0; field < 11; ++field) {
        if (field > 0) {
            if (pos >= text.size() || text[pos] != ',') return std::nullopt;
            ++pos;
        }
        uint32_t value = 0;
        int digits = 0;
        while (pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos]))) {
            if (++digits > kWidths[field]) return std::nullopt;
            const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[pos])));
            value = (value << 4) | static_cast<uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
            ++pos;
        }
        if (digits == 0) return std::nullopt;
        if (field == 0) {
            for (size_t i = 0; i < 4; ++i) id[i] = static_cast<uint8_t>(value >> (8 * i));
        } else if (field <= 2) {
            const size_t at = field == 1 ? 4 : 6;
            id[at] = static_cast<uint8_t>(value);
            id[at + 1] = static_cast<uint8_t>(value >> 8);
        } else {
            id[static_cast<size_t>(5 + field)] = static_cast<uint8_t>(value);
        }
    }
    if (pos != text.size()) return std::nullopt;
    return id;
}

int32_t ScaleAxis(int16_t value) {
    const long scaled = std::lround(value * 128.0 / 32767.0);
    return static_cast<int32_t>(std::clamp(scaled, -128L, 128L));
}

uint32_t HatHundredths(uint8_t sdlHat) {
    switch (sdlHat) {
        case SDL_HAT_UP: return 0;
        case SDL_HAT_RIGHTUP: return 4500;
        case SDL_HAT_RIGHT: return 9000;
        case SDL_HAT_RIGHTDOWN: return 13500;
        case SDL_HAT_DOWN: return 18000;
        case SDL_HAT_LEFTDOWN: return 22500;
        case SDL_HAT_LEFT: return 27000;
        case SDL_HAT_LEFTUP: return 31500;
        default: return JoyControllerState::kHatCentred;
    }
}

GameControllers::GameControllers() = default;

GameControllers::~GameControllers() {
    if (started_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

bool GameControllers::Start() {
    if (started_ || failed_) return started_;
    // SIGINT and SIGTERM stay the program's: SDL would turn them into events nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        failed_ = true;
        return false;
    }
    // Nobody drains SDL's event queue here; readings are polled.
    SDL_JoystickEventState(SDL_IGNORE);
    started_ = true;
    return true;
}

void GameControllers::EnumerateControllers() {
    devices_.clear();
    instanceIds_.clear();
    if (!Start()) return;
    SDL_JoystickUpdate();
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        JoyDevice device;
        device.id = FromSdl(SDL_JoystickGetDeviceGUID(i));
        const char* name = SDL_JoystickNameForIndex(i);
        device.name = name != nullptr ? name : "";
        devices_.push_back(std::move(device));
        instanceIds_.push_back(SDL_JoystickGetDeviceInstanceID(i));
    }
}

int GameControllers::Find(const ControllerId& id) const {
    for (size_t i = 0; i < devices_.size(); ++i) {
        if (devices_[i].id == id) return static_cast<int>(i);
    }
    return -1;
}

int GameControllers::SdlIndex(int device) const {
    if (!started_ || device < 0 || device >= static_cast<int>(instanceIds_.size())) return -1;
    // SDL renumbers its devices when one comes or goes; the instance id stays.
    const int count = SDL_NumJoysticks();
    for (int i = 0; i < count; ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == instanceIds_[static_cast<size_t>(device)]) {
            return i;
        }
    }
    return -1;
}

std::unique_ptr<JoyController> GameControllers::OpenController(int device) {
    const int index = SdlIndex(device);
    if (index < 0) return nullptr;
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    if (joystick == nullptr) return nullptr;
    return std::make_unique<SdlController>(joystick);
}

std::optional<ControllerParts> GameControllers::Parts(int device) {
    const int index = SdlIndex(device);
    if (index < 0) return std::nullopt;
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    if (joystick == nullptr) return std::nullopt;
    ControllerParts parts;
    const int axes = SDL_JoystickNumAxes(joystick);
    parts.hasX = axes >= 1;
    parts.hasY = axes >= 2;
    parts.hats = std::clamp(SDL_JoystickNumHats(joystick), 0, 4);
    parts.buttons = std::clamp(SDL_JoystickNumButtons(joystick), 0, 32);
    SDL_JoystickClose(joystick);
    return parts;
}

}  // namespace input

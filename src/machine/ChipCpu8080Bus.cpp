// The processor's links to the outside: the interrupt flip-flop, the port map and the tick
// listeners.
#include <algorithm>
#include <cstdint>

#include "machine/ChipCpu8080.h"

bool ChipCpu8080::AcceptInterrupt() {
    if (!Inte) return false;
    Inte = EiPending = EiArmed = false;
    IntAck = true;
    if (controller_) controller_->SetInteInput(false);
    return true;
}

void ChipCpu8080::SetInte(bool value) {
    Inte = value;
    EiPending = EiArmed = false;
    if (controller_) controller_->SetInteInput(value);
}

void ChipCpu8080::SetInterruptController(InterruptController* controller) {
    controller_ = controller;
    if (controller_) controller_->SetCpu(this);
}

void ChipCpu8080::AttachPort(uint8_t base, uint8_t mask, bool resetWithCpu,
                             PeripheralDevice* device) {
    if (device == nullptr || mask == 0) return;
    std::erase_if(ports_, [base](const PortBinding& b) { return b.base == base; });
    ports_.push_back(PortBinding{base, mask, device, resetWithCpu});
    RebuildPortMap();
}

void ChipCpu8080::DetachPort(uint8_t base) {
    auto it = std::find_if(ports_.begin(), ports_.end(),
                           [base](const PortBinding& b) { return b.base == base; });
    if (it != ports_.end()) ports_.erase(it);
    RebuildPortMap();
}

// The first binding in list order wins; resolving all 256 ports once keeps IN and OUT cheap.
void ChipCpu8080::RebuildPortMap() {
    for (int port = 0; port < 256; ++port) {
        portDevice_[port] = nullptr;
        portReach_[port] = portReadReach_[port] = kReachEverything;
        for (const PortBinding& binding : ports_) {
            if ((port & binding.mask) == binding.base) {
                portDevice_[port] = binding.device;
                portReach_[port] = binding.device->PortReach();
                portReadReach_[port] = binding.device->PortReadReach();
                break;
            }
        }
    }
}

void ChipCpu8080::AddTickListener(TickListener listener, QuietQuery quiet) {
    if (!listener) return;
    tickListeners_.push_back({listener, quiet});
    UpdateMergeTicks();
}

bool ChipCpu8080::RemoveTickListener(TickListener listener) {
    auto it = std::find_if(tickListeners_.begin(), tickListeners_.end(),
                           [&](const ListenerEntry& e) { return e.call == listener; });
    if (it == tickListeners_.end()) return false;
    tickListeners_.erase(it);
    UpdateMergeTicks();
    return true;
}

void ChipCpu8080::UpdateMergeTicks() {
    mergeTicks_ = !tickListeners_.empty() &&
                  std::all_of(tickListeners_.begin(), tickListeners_.end(),
                              [](const ListenerEntry& e) { return static_cast<bool>(e.quiet); });
}

// Gives the listeners the ticks that have passed since they last heard (one merged call when
// they allowed it) and works out how long they may now be left alone.
int32_t ChipCpu8080::CallTickListeners(int32_t periodTicks, int32_t ticks) {
    HandTicksToListeners(periodTicks, ticks);
    return ListenersQuiet();
}

void ChipCpu8080::HandTicksToListeners(int32_t periodTicks, int32_t ticks) {
    for (const ListenerEntry& listener : tickListeners_) listener.call(periodTicks, ticks);
}

int32_t ChipCpu8080::ListenersQuiet() const {
    if (!mergeTicks_) return 0;
    int32_t quiet = INT32_MAX;
    for (const ListenerEntry& listener : tickListeners_) {
        quiet = std::min(quiet, std::max(listener.quiet(), int32_t{0}));
    }
    return quiet;
}

// Closes the measurement of an interrupt service routine when a return brings SP back to where
// it was when the interrupt was accepted.
void ChipCpu8080::CloseServiceMeasurement(uint16_t sp, int32_t clockTicks) {
    if (IsrSP != sp) return;
    int32_t duration =
        static_cast<int32_t>(static_cast<uint32_t>(clockTicks) - static_cast<uint32_t>(IsrTicks));
    if (duration < 0)
        duration = static_cast<int32_t>(static_cast<uint32_t>(duration) + 0x7FFFFFFFu);
    IsrTicks = duration;
    IsrMin = std::min(IsrMin, duration);
    IsrMax = std::max(IsrMax, duration);
    IsrMid = static_cast<int32_t>((static_cast<int64_t>(IsrMin) + IsrMax) / 2);
    IsrSP = -1;
}

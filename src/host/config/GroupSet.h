#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace config {

// What a change of the configuration makes the running machine redo. The numbers are the ones
// the settings dialog's change list has always carried.
enum class Group : int {
    MainRom = 1,
    Multiplier = 2,
    Timers = 3,
    InteOnPb0 = 4,
    ColourProfile = 5,
    Border = 6,
    FullScreen = 7,
    SoundDevice = 8,
    SoundVolumes = 9,
    Keyboard = 10,
    Joystick = 11,
    RomModuleFile = 12,
    RomModuleInserted = 13,
    SdRomFolder = 14,
    SdRomConnected = 15,
    DebuggerHints = 16,
    Muse = 17,
};

inline constexpr std::size_t kGroupCount = 17;

// The order the machine applies groups in: the sound driver before the rebuilt machine connects
// to it, the machine before the modules plugged into it, and the Muse only once the driver has
// its three channels.
inline constexpr std::array<Group, kGroupCount> kApplicationOrder{
    Group::SoundDevice,  Group::SoundVolumes,   Group::MainRom,       Group::Multiplier,
    Group::Timers,       Group::InteOnPb0,      Group::RomModuleFile, Group::RomModuleInserted,
    Group::SdRomFolder,  Group::SdRomConnected, Group::ColourProfile, Group::Border,
    Group::FullScreen,   Group::Keyboard,       Group::Joystick,      Group::Muse,
    Group::DebuggerHints};

// A set of groups; a group added twice is there once. Iterating visits the groups in the
// application order.
class GroupSet {
  public:
    constexpr GroupSet() = default;
    constexpr GroupSet(std::initializer_list<Group> groups) {
        for (Group group : groups) Add(group);
    }
    static constexpr GroupSet All() {
        GroupSet all;
        for (Group group : kApplicationOrder) all.Add(group);
        return all;
    }

    constexpr void Add(Group group) { bits_ |= Bit(group); }
    constexpr void Add(GroupSet other) { bits_ |= other.bits_; }
    constexpr bool Has(Group group) const { return (bits_ & Bit(group)) != 0; }
    constexpr bool HasAny(GroupSet other) const { return (bits_ & other.bits_) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const GroupSet&) const = default;

    class Iterator {
      public:
        constexpr Iterator(const GroupSet* set, std::size_t position)
            : set_(set), position_(position) {
            SkipAbsent();
        }
        constexpr Group operator*() const { return kApplicationOrder[position_]; }
        constexpr Iterator& operator++() {
            ++position_;
            SkipAbsent();
            return *this;
        }
        constexpr bool operator==(const Iterator& other) const {
            return position_ == other.position_;
        }

      private:
        constexpr void SkipAbsent() {
            while (position_ < kGroupCount && !set_->Has(kApplicationOrder[position_])) {
                ++position_;
            }
        }
        const GroupSet* set_;
        std::size_t position_;
    };
    constexpr Iterator begin() const { return Iterator(this, 0); }
    constexpr Iterator end() const { return Iterator(this, kGroupCount); }

  private:
    static constexpr uint32_t Bit(Group group) { return 1u << static_cast<int>(group); }
    uint32_t bits_ = 0;
};

}  // namespace config

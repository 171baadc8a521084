#include "debugger/DebuggerSettings.h"

#include "host/config/ConfigKeys.h"

namespace debugger {

namespace keys = config::keys;

void ReadDebuggerSettings(const config::Settings& settings, DebuggerChoices& choices,
                          DebuggerListing& listing, DebuggerCore& core) {
    choices.flags.DecimalRadix = settings.Get(keys::kDebuggerRadix) == config::NumberBase::Decimal;
    choices.flags.Z80Notation = settings.Get(keys::kDebuggerNotation) == config::Notation::Z80;
    choices.highlightColor = settings.Get(keys::kHighlightColor);
    listing.current = static_cast<int>(settings.Get(keys::kListSource));
    for (int n = 1; n <= 3; ++n) {
        ListingSource& source = listing.sources[static_cast<size_t>(n - 1)];
        source.base = static_cast<uint16_t>(settings.Get(keys::DebuggerMemAddress(n)));
        source.offset = 0;
        source.type = static_cast<int>(settings.Get(keys::DebuggerMemType(n)));
    }
    listing.shownType = listing.Current().type;
    for (int n = 1; n <= DebuggerCore::kUserSlots; ++n) {
        core.Breakpoints[static_cast<size_t>(n)] = {
            static_cast<uint16_t>(settings.Get(keys::BreakpointAddress(n))),
            static_cast<uint8_t>(settings.Get(keys::BreakpointActive(n)) ? 1 : 0)};
    }
}

void WriteDebuggerSettings(config::Settings& settings, const DebuggerChoices& choices,
                           const DebuggerListing& listing, const DebuggerCore& core) {
    settings.Set(keys::kDebuggerRadix, choices.flags.DecimalRadix
                                           ? config::NumberBase::Decimal
                                           : config::NumberBase::Hexadecimal);
    settings.Set(keys::kDebuggerNotation,
                 choices.flags.Z80Notation ? config::Notation::Z80 : config::Notation::I8080);
    settings.Set(keys::kListSource, static_cast<config::ListSource>(listing.current));
    for (int n = 1; n <= 3; ++n) {
        const ListingSource& source = listing.sources[static_cast<size_t>(n - 1)];
        settings.Set(keys::DebuggerMemAddress(n), source.base);
        settings.Set(keys::DebuggerMemType(n), static_cast<config::ListingType>(source.type));
    }
    for (int n = 1; n <= DebuggerCore::kUserSlots; ++n) {
        const BreakpointSlot& slot = core.Breakpoints[static_cast<size_t>(n)];
        settings.Set(keys::BreakpointAddress(n), slot.address);
        settings.Set(keys::BreakpointActive(n), slot.active != 0);
    }
}

}  // namespace debugger

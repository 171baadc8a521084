#include "frontend/RomMessage.h"

#include <cstring>

#include "host/lang/Language.h"

namespace {

// Why a ROM read gave the machine nothing to run; nothing when it gave it something.
std::optional<std::string> NothingToRun(const layout::RomRead& read) {
    if (read.status == layout::RomRead::Status::Unreadable)
        return read.error != 0 ? std::strerror(read.error) : "not a regular file";
    if (read.bytes == 0) return lang::LangText("FormMain", "text.RomFile.Empty");
    return std::nullopt;
}

}  // namespace

std::optional<std::string> RomFileRefusal(const std::string& path) {
    layout::RomRead read;
    layout::ReadRomImage(path, &read);
    const std::optional<std::string> reason = NothingToRun(read);
    if (!reason) return std::nullopt;
    return lang::LangText2("FormSettings", "text.RomFile.Message", path, *reason);
}

RomMessage MainRomMessage(const Machine& machine) {
    const layout::RomRead& read = machine.MainRomRead();
    RomMessage message;
    if (const std::optional<std::string> reason = NothingToRun(read)) {
        message.unreadable = true;
        message.text =
            lang::LangText2("FormMain", "err.RomFile.Message", machine.MainRomPath(), *reason);
    } else if (read.status == layout::RomRead::Status::Short) {
        message.text = lang::LangText2("FormMain", "err.RomFileShort.Message",
                                       machine.MainRomPath(), std::to_string(read.bytes));
    }
    return message;
}

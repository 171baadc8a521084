#include "frontend/RomMessage.h"

#include <cstring>

#include "host/lang/Language.h"

std::optional<std::string> RomFileRefusal(const std::string& path) {
    using Status = layout::RomRead::Status;
    layout::RomRead read;
    layout::ReadRomImage(path, &read);
    if (read.status == Status::Unreadable) {
        return lang::LangText2("FormSettings", "text.RomFile.Message", path,
                               read.error != 0 ? std::strerror(read.error) : "not a regular file");
    }
    if (read.bytes == 0) {
        return lang::LangText2("FormSettings", "text.RomFile.Message", path,
                               lang::LangText("FormMain", "text.RomFile.Empty"));
    }
    return std::nullopt;
}

RomMessage MainRomMessage(const Machine& machine) {
    using Status = layout::RomRead::Status;
    const layout::RomRead& read = machine.MainRomRead();
    RomMessage message;
    switch (read.status) {
        case Status::Complete: break;
        case Status::Unreadable:
            message.unreadable = true;
            message.text =
                lang::LangText2("FormMain", "err.RomFile.Message", machine.MainRomPath(),
                                read.error != 0 ? std::strerror(read.error) : "not a regular file");
            break;
        case Status::Short:
            message.unreadable = !machine.HasMainRom();
            message.text =
                message.unreadable
                    ? lang::LangText2("FormMain", "err.RomFile.Message", machine.MainRomPath(),
                                      lang::LangText("FormMain", "text.RomFile.Empty"))
                    : lang::LangText2("FormMain", "err.RomFileShort.Message", machine.MainRomPath(),
                                      std::to_string(read.bytes));
            break;
    }
    return message;
}

#include "frontend/RomMessage.h"

#include <cstring>

#include "host/lang/Language.h"

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
            message.text = lang::LangText2("FormMain", "err.RomFileShort.Message",
                                           machine.MainRomPath(), std::to_string(read.bytes));
            break;
    }
    return message;
}

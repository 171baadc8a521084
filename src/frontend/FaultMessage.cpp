#include "frontend/FaultMessage.h"

#include <cstdio>

#include "host/lang/Language.h"

std::string FaultDescription(const Machine::Fault& fault) {
    using Kind = Machine::Fault::Kind;
    const char* key = nullptr;
    switch (fault.kind) {
        case Kind::MemoryRead: key = "err.I41LockMemRD.Message"; break;
        case Kind::MemoryWrite: key = "err.I41LockMemWR.Message"; break;
        case Kind::PortRead: key = "err.I41LockPortRD.Message"; break;
        case Kind::PortWrite: key = "err.I41LockPortWR.Message"; break;
        case Kind::None: return std::string();
    }
    char number[8];
    const bool port = fault.kind == Kind::PortRead || fault.kind == Kind::PortWrite;
    std::snprintf(number, sizeof number, port ? "%02X" : "%04X", fault.address);
    return lang::LangText1("FormMain", key, number);
}

std::string FaultMessage(const Machine::Fault& fault, bool debuggerAvailable) {
    if (fault.kind == Machine::Fault::Kind::None) return std::string();
    return FaultDescription(fault) + lang::LangText("FormMain", debuggerAvailable
                                                                    ? "err.I41Lock.Message"
                                                                    : "err.I41LockReset.Message");
}

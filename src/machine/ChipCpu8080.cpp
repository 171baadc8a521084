#include "machine/ChipCpu8080.h"

#include <algorithm>

#include "machine/Cpu8080Alu.h"
#include "machine/Cpu8080Timing.h"
#include "machine/InstructionSet.h"

ChipCpu8080::ChipCpu8080(ChipMemory& memory)
    : tickTable_(timing8080::kStandard.data()),
      takenReturnTicks_(timing8080::kStandardTakenReturn),
      takenCallTicks_(timing8080::kStandardTakenCall),
      memory_(memory),
      readWindow_(memory.ReadWindows()),
      writeWindow_(memory.WriteWindows()) {
    BuildTables();
    Reset();
}

void ChipCpu8080::BuildTables() {
    for (int v = 0; v < 256; ++v) {
        int ones = 0;
        for (int bit = 0; bit < 8; ++bit) ones += (v >> bit) & 1;
        FlagTable[v] = static_cast<uint8_t>((v & 0x80) | (v == 0 ? kFlagZ : 0) |
                                            ((ones & 1) == 0 ? kFlagP : 0) | kFlagAlwaysOne);
    }
    for (int i = 0; i < 1024; ++i) {
        unsigned a = i & 0xFF;
        bool carry = (i & 0x100) != 0;
        bool auxCarry = (i & 0x200) != 0;
        unsigned low = a & 0x0F;
        unsigned flags = 0;
        if (auxCarry || low > 9) {
            a += 6;
            if (low > 9) flags |= kFlagAC;
        }
        // Compared after the low correction, its carry out of the byte included.
        if (carry || a > 0x9F) {
            a += 0x60;
            flags |= kFlagCY;
        }
        DaaTable[i] = static_cast<uint16_t>((a & 0xFF) << 8 | flags | FlagTable[a & 0xFF]);
    }
}

int ChipCpu8080::InstructionTicks(uint8_t opcode, bool taken) {
    if (taken) {
        return timing8080::IsConditionalReturn(opcode) ? timing8080::kStandardTakenReturn
                                                       : timing8080::kStandardTakenCall;
    }
    return timing8080::kStandard[opcode];
}

void ChipCpu8080::Reset() {
    PC = 0;
    Inte = EiPending = EiArmed = Halted = IntAck = ResetPending = PortFault = false;
    memory_.ClearFault();
    IsrSP = -1;
    IsrTicks = 0;
    IsrMin = 0x7FFFFFFF;
    IsrMax = INT32_MIN;
    IsrMid = 0;
    for (const PortBinding& binding : ports_) {
        if (binding.resetWithCpu) binding.device->Reset(0);
    }
    if (controller_) controller_->SetInteInput(false);
}

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
        for (const PortBinding& binding : ports_) {
            if ((port & binding.mask) == binding.base) {
                portDevice_[port] = binding.device;
                break;
            }
        }
    }
}

void ChipCpu8080::AddTickListener(TickListener listener) {
    if (listener) tickListeners_.push_back(listener);
}

bool ChipCpu8080::RemoveTickListener(TickListener listener) {
    auto it = std::find(tickListeners_.begin(), tickListeners_.end(), listener);
    if (it == tickListeners_.end()) return false;
    tickListeners_.erase(it);
    return true;
}

void ChipCpu8080::EndOfServiceRoutine() {
    if (IsrSP == -1 || IsrSP != SP) return;
    int32_t duration = static_cast<int32_t>(static_cast<uint32_t>(ClockTicks) -
                                            static_cast<uint32_t>(IsrTicks));
    if (duration < 0) duration = static_cast<int32_t>(static_cast<uint32_t>(duration) + 0x7FFFFFFFu);
    IsrTicks = duration;
    IsrMin = std::min(IsrMin, duration);
    IsrMax = std::max(IsrMax, duration);
    IsrMid = static_cast<int32_t>((static_cast<int64_t>(IsrMin) + IsrMax) / 2);
    IsrSP = -1;
}

// Memory access inside Step. The window pointers answer ordinary RAM and ROM accesses; anything
// else (absent memory, ROM writes, the colour-write hook, a fault already pending) goes through
// the memory's careful path, after which a fault abandons the instruction.
#define READ8(dst, address)                                            \
    do {                                                               \
        uint16_t a_ = static_cast<uint16_t>(address);                  \
        const uint8_t* w_ = readWindow_[a_ >> 12];                     \
        if (w_ != nullptr) [[likely]] {                                \
            (dst) = w_[a_ & 0x0FFF];                                   \
        } else {                                                       \
            (dst) = memory_.ReadSlow(a_);                              \
            if (memory_.Fault()) goto memory_fault;                    \
        }                                                              \
    } while (0)

#define WRITE8(address, value)                                         \
    do {                                                               \
        uint16_t a_ = static_cast<uint16_t>(address);                  \
        uint8_t* w_ = writeWindow_[a_ >> 12];                          \
        if (w_ != nullptr) [[likely]] {                                \
            w_[a_ & 0x0FFF] = static_cast<uint8_t>(value);             \
        } else {                                                       \
            memory_.WriteSlow(a_, static_cast<uint8_t>(value));        \
            if (memory_.Fault()) goto memory_fault;                    \
        }                                                              \
    } while (0)

#define READ16(dst, address)                                           \
    do {                                                               \
        uint16_t at_ = static_cast<uint16_t>(address);                 \
        uint8_t lo_, hi_;                                              \
        READ8(lo_, at_);                                               \
        READ8(hi_, at_ + 1);                                           \
        (dst) = static_cast<uint16_t>(lo_ | hi_ << 8);                 \
    } while (0)

#define WRITE16(address, value)                                        \
    do {                                                               \
        uint16_t at_ = static_cast<uint16_t>(address);                 \
        uint16_t v16_ = static_cast<uint16_t>(value);                  \
        WRITE8(at_, v16_);                                             \
        WRITE8(at_ + 1, v16_ >> 8);                                    \
    } while (0)

#define CALL(target)                                                   \
    do {                                                               \
        uint16_t target_ = static_cast<uint16_t>(target);              \
        SP = static_cast<uint16_t>(SP - 2);                            \
        WRITE16(SP, PC);                                               \
        PC = target_;                                                  \
    } while (0)

#define RETURN()                                                       \
    do {                                                               \
        uint16_t to_;                                                  \
        READ16(to_, SP);                                               \
        SP = static_cast<uint16_t>(SP + 2);                            \
        PC = to_;                                                      \
        EndOfServiceRoutine();                                         \
    } while (0)

#define PORT_OUT(port)                                                 \
    do {                                                               \
        uint8_t p_ = (port);                                           \
        PeripheralDevice* d_ = portDevice_[p_];                        \
        if (d_ == nullptr) {                                           \
            FaultPortWrite = true;                                     \
            FaultPort = p_;                                            \
            goto port_fault;                                           \
        }                                                              \
        d_->PortWrite(p_, A, PeriodTicks);                             \
    } while (0)

#define PORT_IN(port)                                                  \
    do {                                                               \
        uint8_t p_ = (port);                                           \
        PeripheralDevice* d_ = portDevice_[p_];                        \
        if (d_ == nullptr) {                                           \
            FaultPortWrite = false;                                    \
            FaultPort = p_;                                            \
            goto port_fault;                                           \
        }                                                              \
        A = d_->PortRead(p_, PeriodTicks);                             \
    } while (0)

// A halted processor keeps executing its HLT, one tick at a time, until an interrupt or reset.
#define HALT()                                                         \
    do {                                                               \
        PC = opcodeAddress;                                            \
        if (!Halted) {                                                 \
            Halted = true;                                             \
            LastTicks = TicksFor(0x76, false);                         \
        } else {                                                       \
            LastTicks = 1;                                             \
        }                                                              \
    } while (0)

int ChipCpu8080::Step() {
    if (ResetPending) [[unlikely]] {
        Reset();
        return 0;
    }

    uint8_t opcode;
    uint16_t operand = 0;
    uint16_t opcodeAddress;
    bool taken = false;

    if (IntAck) [[unlikely]] {
        // Interrupt acknowledge: the instruction comes from the interrupt unit, not from memory,
        // and PC stays where the program was (past the HLT when it was halted).
        if (Halted) {
            Halted = false;
            PC = static_cast<uint16_t>(PC + 1);
        }
        opcodeAddress = PC;
        opcode = controller_ ? controller_->InterruptInstruction(0) : 0xFF;
        int length = isa::InstructionLength[opcode];
        if (length >= 2 && controller_) operand = controller_->InterruptInstruction(1);
        if (length == 3 && controller_) {
            operand = static_cast<uint16_t>(operand | controller_->InterruptInstruction(2) << 8);
        }
        IsrSP = SP;
        IsrTicks = ClockTicks;
        IntAck = false;
    } else {
        PrevPC = CurPC;
        CurPC = PC;
        opcodeAddress = PC;
        READ8(opcode, PC);
        PC = static_cast<uint16_t>(PC + 1);
        switch (isa::InstructionLength[opcode]) {
            case 2: {
                uint8_t low;
                READ8(low, PC);
                operand = low;
                PC = static_cast<uint16_t>(PC + 1);
                break;
            }
            case 3:
                READ16(operand, PC);
                PC = static_cast<uint16_t>(PC + 2);
                break;
            default: break;
        }
        InstructionCount = static_cast<int32_t>(static_cast<uint32_t>(InstructionCount) + 1);
    }

    switch (opcode) {
        case 0x00: { ; } break;
        case 0x01: { SetBC(operand); } break;
        case 0x02: { WRITE8(BC(), A); } break;
        case 0x03: { SetBC(static_cast<uint16_t>(BC() + 1)); } break;
        case 0x04: { B = alu8080::Inr(*this, B); } break;
        case 0x05: { B = alu8080::Dcr(*this, B); } break;
        case 0x06: { B = static_cast<uint8_t>(operand); } break;
        case 0x07: { alu8080::Rlc(*this); } break;
        case 0x08: { ; } break;
        case 0x09: { alu8080::Dad(*this, BC()); } break;
        case 0x0A: { READ8(A, BC()); } break;
        case 0x0B: { SetBC(static_cast<uint16_t>(BC() - 1)); } break;
        case 0x0C: { C = alu8080::Inr(*this, C); } break;
        case 0x0D: { C = alu8080::Dcr(*this, C); } break;
        case 0x0E: { C = static_cast<uint8_t>(operand); } break;
        case 0x0F: { alu8080::Rrc(*this); } break;
        case 0x10: { ; } break;
        case 0x11: { SetDE(operand); } break;
        case 0x12: { WRITE8(DE(), A); } break;
        case 0x13: { SetDE(static_cast<uint16_t>(DE() + 1)); } break;
        case 0x14: { D = alu8080::Inr(*this, D); } break;
        case 0x15: { D = alu8080::Dcr(*this, D); } break;
        case 0x16: { D = static_cast<uint8_t>(operand); } break;
        case 0x17: { alu8080::Ral(*this); } break;
        case 0x18: { ; } break;
        case 0x19: { alu8080::Dad(*this, DE()); } break;
        case 0x1A: { READ8(A, DE()); } break;
        case 0x1B: { SetDE(static_cast<uint16_t>(DE() - 1)); } break;
        case 0x1C: { E = alu8080::Inr(*this, E); } break;
        case 0x1D: { E = alu8080::Dcr(*this, E); } break;
        case 0x1E: { E = static_cast<uint8_t>(operand); } break;
        case 0x1F: { alu8080::Rar(*this); } break;
        case 0x20: { ; } break;
        case 0x21: { SetHL(operand); } break;
        case 0x22: { WRITE16(operand, HL()); } break;
        case 0x23: { SetHL(static_cast<uint16_t>(HL() + 1)); } break;
        case 0x24: { H = alu8080::Inr(*this, H); } break;
        case 0x25: { H = alu8080::Dcr(*this, H); } break;
        case 0x26: { H = static_cast<uint8_t>(operand); } break;
        case 0x27: { alu8080::Daa(*this); } break;
        case 0x28: { ; } break;
        case 0x29: { alu8080::Dad(*this, HL()); } break;
        case 0x2A: { uint16_t v; READ16(v, operand); SetHL(v); } break;
        case 0x2B: { SetHL(static_cast<uint16_t>(HL() - 1)); } break;
        case 0x2C: { L = alu8080::Inr(*this, L); } break;
        case 0x2D: { L = alu8080::Dcr(*this, L); } break;
        case 0x2E: { L = static_cast<uint8_t>(operand); } break;
        case 0x2F: { A = static_cast<uint8_t>(~A); } break;
        case 0x30: { ; } break;
        case 0x31: { SP = operand; } break;
        case 0x32: { WRITE8(operand, A); } break;
        case 0x33: { SP = static_cast<uint16_t>(SP + 1); } break;
        case 0x34: { uint8_t v; READ8(v, HL()); v = alu8080::Inr(*this, v); WRITE8(HL(), v); } break;
        case 0x35: { uint8_t v; READ8(v, HL()); v = alu8080::Dcr(*this, v); WRITE8(HL(), v); } break;
        case 0x36: { WRITE8(HL(), static_cast<uint8_t>(operand)); } break;
        case 0x37: { F |= kFlagCY; } break;
        case 0x38: { ; } break;
        case 0x39: { alu8080::Dad(*this, SP); } break;
        case 0x3A: { READ8(A, operand); } break;
        case 0x3B: { SP = static_cast<uint16_t>(SP - 1); } break;
        case 0x3C: { A = alu8080::Inr(*this, A); } break;
        case 0x3D: { A = alu8080::Dcr(*this, A); } break;
        case 0x3E: { A = static_cast<uint8_t>(operand); } break;
        case 0x3F: { F ^= kFlagCY; } break;
        case 0x40: { ; } break;
        case 0x41: { B = C; } break;
        case 0x42: { B = D; } break;
        case 0x43: { B = E; } break;
        case 0x44: { B = H; } break;
        case 0x45: { B = L; } break;
        case 0x46: { READ8(B, HL()); } break;
        case 0x47: { B = A; } break;
        case 0x48: { C = B; } break;
        case 0x49: { ; } break;
        case 0x4A: { C = D; } break;
        case 0x4B: { C = E; } break;
        case 0x4C: { C = H; } break;
        case 0x4D: { C = L; } break;
        case 0x4E: { READ8(C, HL()); } break;
        case 0x4F: { C = A; } break;
        case 0x50: { D = B; } break;
        case 0x51: { D = C; } break;
        case 0x52: { ; } break;
        case 0x53: { D = E; } break;
        case 0x54: { D = H; } break;
        case 0x55: { D = L; } break;
        case 0x56: { READ8(D, HL()); } break;
        case 0x57: { D = A; } break;
        case 0x58: { E = B; } break;
        case 0x59: { E = C; } break;
        case 0x5A: { E = D; } break;
        case 0x5B: { ; } break;
        case 0x5C: { E = H; } break;
        case 0x5D: { E = L; } break;
        case 0x5E: { READ8(E, HL()); } break;
        case 0x5F: { E = A; } break;
        case 0x60: { H = B; } break;
        case 0x61: { H = C; } break;
        case 0x62: { H = D; } break;
        case 0x63: { H = E; } break;
        case 0x64: { ; } break;
        case 0x65: { H = L; } break;
        case 0x66: { READ8(H, HL()); } break;
        case 0x67: { H = A; } break;
        case 0x68: { L = B; } break;
        case 0x69: { L = C; } break;
        case 0x6A: { L = D; } break;
        case 0x6B: { L = E; } break;
        case 0x6C: { L = H; } break;
        case 0x6D: { ; } break;
        case 0x6E: { READ8(L, HL()); } break;
        case 0x6F: { L = A; } break;
        case 0x70: { WRITE8(HL(), B); } break;
        case 0x71: { WRITE8(HL(), C); } break;
        case 0x72: { WRITE8(HL(), D); } break;
        case 0x73: { WRITE8(HL(), E); } break;
        case 0x74: { WRITE8(HL(), H); } break;
        case 0x75: { WRITE8(HL(), L); } break;
        case 0x76: { HALT(); } break;
        case 0x77: { WRITE8(HL(), A); } break;
        case 0x78: { A = B; } break;
        case 0x79: { A = C; } break;
        case 0x7A: { A = D; } break;
        case 0x7B: { A = E; } break;
        case 0x7C: { A = H; } break;
        case 0x7D: { A = L; } break;
        case 0x7E: { READ8(A, HL()); } break;
        case 0x7F: { ; } break;
        case 0x80: { uint8_t v = B; alu8080::Add(*this, v, 0); } break;
        case 0x81: { uint8_t v = C; alu8080::Add(*this, v, 0); } break;
        case 0x82: { uint8_t v = D; alu8080::Add(*this, v, 0); } break;
        case 0x83: { uint8_t v = E; alu8080::Add(*this, v, 0); } break;
        case 0x84: { uint8_t v = H; alu8080::Add(*this, v, 0); } break;
        case 0x85: { uint8_t v = L; alu8080::Add(*this, v, 0); } break;
        case 0x86: { uint8_t v; READ8(v, HL()); alu8080::Add(*this, v, 0); } break;
        case 0x87: { uint8_t v = A; alu8080::Add(*this, v, 0); } break;
        case 0x88: { uint8_t v = B; alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x89: { uint8_t v = C; alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x8A: { uint8_t v = D; alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x8B: { uint8_t v = E; alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x8C: { uint8_t v = H; alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x8D: { uint8_t v = L; alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x8E: { uint8_t v; READ8(v, HL()); alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x8F: { uint8_t v = A; alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0x90: { uint8_t v = B; alu8080::Sub(*this, v, 0); } break;
        case 0x91: { uint8_t v = C; alu8080::Sub(*this, v, 0); } break;
        case 0x92: { uint8_t v = D; alu8080::Sub(*this, v, 0); } break;
        case 0x93: { uint8_t v = E; alu8080::Sub(*this, v, 0); } break;
        case 0x94: { uint8_t v = H; alu8080::Sub(*this, v, 0); } break;
        case 0x95: { uint8_t v = L; alu8080::Sub(*this, v, 0); } break;
        case 0x96: { uint8_t v; READ8(v, HL()); alu8080::Sub(*this, v, 0); } break;
        case 0x97: { uint8_t v = A; alu8080::Sub(*this, v, 0); } break;
        case 0x98: { uint8_t v = B; alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0x99: { uint8_t v = C; alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0x9A: { uint8_t v = D; alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0x9B: { uint8_t v = E; alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0x9C: { uint8_t v = H; alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0x9D: { uint8_t v = L; alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0x9E: { uint8_t v; READ8(v, HL()); alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0x9F: { uint8_t v = A; alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0xA0: { uint8_t v = B; alu8080::Ana(*this, v); } break;
        case 0xA1: { uint8_t v = C; alu8080::Ana(*this, v); } break;
        case 0xA2: { uint8_t v = D; alu8080::Ana(*this, v); } break;
        case 0xA3: { uint8_t v = E; alu8080::Ana(*this, v); } break;
        case 0xA4: { uint8_t v = H; alu8080::Ana(*this, v); } break;
        case 0xA5: { uint8_t v = L; alu8080::Ana(*this, v); } break;
        case 0xA6: { uint8_t v; READ8(v, HL()); alu8080::Ana(*this, v); } break;
        case 0xA7: { uint8_t v = A; alu8080::Ana(*this, v); } break;
        case 0xA8: { uint8_t v = B; alu8080::Xra(*this, v); } break;
        case 0xA9: { uint8_t v = C; alu8080::Xra(*this, v); } break;
        case 0xAA: { uint8_t v = D; alu8080::Xra(*this, v); } break;
        case 0xAB: { uint8_t v = E; alu8080::Xra(*this, v); } break;
        case 0xAC: { uint8_t v = H; alu8080::Xra(*this, v); } break;
        case 0xAD: { uint8_t v = L; alu8080::Xra(*this, v); } break;
        case 0xAE: { uint8_t v; READ8(v, HL()); alu8080::Xra(*this, v); } break;
        case 0xAF: { uint8_t v = A; alu8080::Xra(*this, v); } break;
        case 0xB0: { uint8_t v = B; alu8080::Ora(*this, v); } break;
        case 0xB1: { uint8_t v = C; alu8080::Ora(*this, v); } break;
        case 0xB2: { uint8_t v = D; alu8080::Ora(*this, v); } break;
        case 0xB3: { uint8_t v = E; alu8080::Ora(*this, v); } break;
        case 0xB4: { uint8_t v = H; alu8080::Ora(*this, v); } break;
        case 0xB5: { uint8_t v = L; alu8080::Ora(*this, v); } break;
        case 0xB6: { uint8_t v; READ8(v, HL()); alu8080::Ora(*this, v); } break;
        case 0xB7: { uint8_t v = A; alu8080::Ora(*this, v); } break;
        case 0xB8: { uint8_t v = B; alu8080::Cmp(*this, v); } break;
        case 0xB9: { uint8_t v = C; alu8080::Cmp(*this, v); } break;
        case 0xBA: { uint8_t v = D; alu8080::Cmp(*this, v); } break;
        case 0xBB: { uint8_t v = E; alu8080::Cmp(*this, v); } break;
        case 0xBC: { uint8_t v = H; alu8080::Cmp(*this, v); } break;
        case 0xBD: { uint8_t v = L; alu8080::Cmp(*this, v); } break;
        case 0xBE: { uint8_t v; READ8(v, HL()); alu8080::Cmp(*this, v); } break;
        case 0xBF: { uint8_t v = A; alu8080::Cmp(*this, v); } break;
        case 0xC0: { if (!(F & kFlagZ)) { taken = true; RETURN(); } } break;
        case 0xC1: { uint16_t v; READ16(v, SP); SP = static_cast<uint16_t>(SP + 2); SetBC(v); } break;
        case 0xC2: { if (!(F & kFlagZ)) PC = operand; } break;
        case 0xC3: { PC = operand; } break;
        case 0xC4: { if (!(F & kFlagZ)) { taken = true; CALL(operand); } } break;
        case 0xC5: { SP = static_cast<uint16_t>(SP - 2); WRITE16(SP, BC()); } break;
        case 0xC6: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Add(*this, v, 0); } break;
        case 0xC7: { CALL(0); } break;
        case 0xC8: { if ((F & kFlagZ)) { taken = true; RETURN(); } } break;
        case 0xC9: { RETURN(); } break;
        case 0xCA: { if ((F & kFlagZ)) PC = operand; } break;
        case 0xCB: { PC = operand; } break;
        case 0xCC: { if ((F & kFlagZ)) { taken = true; CALL(operand); } } break;
        case 0xCD: { CALL(operand); } break;
        case 0xCE: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Add(*this, v, F & kFlagCY); } break;
        case 0xCF: { CALL(8); } break;
        case 0xD0: { if (!(F & kFlagCY)) { taken = true; RETURN(); } } break;
        case 0xD1: { uint16_t v; READ16(v, SP); SP = static_cast<uint16_t>(SP + 2); SetDE(v); } break;
        case 0xD2: { if (!(F & kFlagCY)) PC = operand; } break;
        case 0xD3: { PORT_OUT(static_cast<uint8_t>(operand)); } break;
        case 0xD4: { if (!(F & kFlagCY)) { taken = true; CALL(operand); } } break;
        case 0xD5: { SP = static_cast<uint16_t>(SP - 2); WRITE16(SP, DE()); } break;
        case 0xD6: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Sub(*this, v, 0); } break;
        case 0xD7: { CALL(16); } break;
        case 0xD8: { if ((F & kFlagCY)) { taken = true; RETURN(); } } break;
        case 0xD9: { RETURN(); } break;
        case 0xDA: { if ((F & kFlagCY)) PC = operand; } break;
        case 0xDB: { PORT_IN(static_cast<uint8_t>(operand)); } break;
        case 0xDC: { if ((F & kFlagCY)) { taken = true; CALL(operand); } } break;
        case 0xDD: { CALL(operand); } break;
        case 0xDE: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Sub(*this, v, F & kFlagCY); } break;
        case 0xDF: { CALL(24); } break;
        case 0xE0: { if (!(F & kFlagP)) { taken = true; RETURN(); } } break;
        case 0xE1: { uint16_t v; READ16(v, SP); SP = static_cast<uint16_t>(SP + 2); SetHL(v); } break;
        case 0xE2: { if (!(F & kFlagP)) PC = operand; } break;
        case 0xE3: { uint16_t v; READ16(v, SP); WRITE16(SP, HL()); SetHL(v); } break;
        case 0xE4: { if (!(F & kFlagP)) { taken = true; CALL(operand); } } break;
        case 0xE5: { SP = static_cast<uint16_t>(SP - 2); WRITE16(SP, HL()); } break;
        case 0xE6: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Ana(*this, v); } break;
        case 0xE7: { CALL(32); } break;
        case 0xE8: { if ((F & kFlagP)) { taken = true; RETURN(); } } break;
        case 0xE9: { PC = HL(); EndOfServiceRoutine(); } break;
        case 0xEA: { if ((F & kFlagP)) PC = operand; } break;
        case 0xEB: { uint16_t v = DE(); SetDE(HL()); SetHL(v); } break;
        case 0xEC: { if ((F & kFlagP)) { taken = true; CALL(operand); } } break;
        case 0xED: { CALL(operand); } break;
        case 0xEE: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Xra(*this, v); } break;
        case 0xEF: { CALL(40); } break;
        case 0xF0: { if (!(F & kFlagS)) { taken = true; RETURN(); } } break;
        case 0xF1: { uint16_t v; READ16(v, SP); SP = static_cast<uint16_t>(SP + 2); A = static_cast<uint8_t>(v >> 8); F = static_cast<uint8_t>((v & 0xD5) | kFlagAlwaysOne); } break;
        case 0xF2: { if (!(F & kFlagS)) PC = operand; } break;
        case 0xF3: { Inte = EiPending = EiArmed = false; if (controller_) controller_->SetInteInput(false); } break;
        case 0xF4: { if (!(F & kFlagS)) { taken = true; CALL(operand); } } break;
        case 0xF5: { F = static_cast<uint8_t>((F & 0xD5) | kFlagAlwaysOne); SP = static_cast<uint16_t>(SP - 2); WRITE16(SP, PSW()); } break;
        case 0xF6: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Ora(*this, v); } break;
        case 0xF7: { CALL(48); } break;
        case 0xF8: { if ((F & kFlagS)) { taken = true; RETURN(); } } break;
        case 0xF9: { SP = HL(); } break;
        case 0xFA: { if ((F & kFlagS)) PC = operand; } break;
        case 0xFB: { EiPending = true; EiArmed = false; } break;
        case 0xFC: { if ((F & kFlagS)) { taken = true; CALL(operand); } } break;
        case 0xFD: { CALL(operand); } break;
        case 0xFE: { uint8_t v = static_cast<uint8_t>(operand); alu8080::Cmp(*this, v); } break;
        case 0xFF: { CALL(56); } break;
    }

    // End of instruction. EI takes effect one instruction late: the flip-flop is set at the end
    // of the instruction after EI, before the tick listeners run, so an interrupt unit that
    // accepts while counting those ticks is served right after that instruction.
    if (EiArmed) [[unlikely]] {
        EiArmed = false;
        Inte = true;
        if (controller_) controller_->SetInteInput(true);
    }
    if (EiPending) [[unlikely]] {
        EiPending = false;
        EiArmed = true;
    }
    if (!Halted) LastTicks = TicksFor(opcode, taken);
    PeriodTicks = static_cast<int32_t>(static_cast<uint32_t>(PeriodTicks) + LastTicks);
    {
        // The free-running clock folds back into the positive range instead of going negative.
        uint32_t clock = static_cast<uint32_t>(ClockTicks) + static_cast<uint32_t>(LastTicks);
        if (static_cast<int32_t>(clock) < 0) clock += 0x7FFFFFFFu;
        ClockTicks = static_cast<int32_t>(clock);
    }
    for (const TickListener& listener : tickListeners_) {
        listener(PeriodTicks, LastTicks);
    }
    return LastTicks;

memory_fault:
    PC = opcodeAddress;
    return 0;

port_fault:
    PortFault = true;
    PC = opcodeAddress;
    return 0;
}

#pragma once

// The building blocks of ChipCpu8080::Execute (ChipCpu8080Execute.cpp): register hand-over,
// memory and port access, tick-listener hand-over and dispatch. They expect the executor's
// locals by name and are meant for that one file.

// The registers live in locals while instructions run: stores through the byte pointers of
// memory could alias any member, which would force the compiler to reload every register after
// every memory write. They are written back before anything outside the processor can look at
// them (port devices, the interrupt unit, tick listeners) and when execution stops.
// B, C, D, E, H and L are kept as the pairs BC, DE, HL: three host registers instead of six.
#define PAIR(hi, lo) static_cast<uint16_t>((hi) << 8 | (lo))
#define HI(pair) static_cast<uint8_t>((pair) >> 8)
#define LO(pair) static_cast<uint8_t>(pair)
#define SET_HI(pair, value) ((pair) = static_cast<uint16_t>(((pair)&0x00FF) | (value) << 8))
#define SET_LO(pair, value) ((pair) = static_cast<uint16_t>(((pair)&0xFF00) | (value)))

#define SYNC_OUT()                                                     \
    do {                                                               \
        this->A = A, this->F = F, SetBC(BC), SetDE(DE), SetHL(HL);     \
        this->SP = SP, this->PC = PC;                                  \
        PeriodTicks = periodTicks, ClockTicks = CLOCK_NOW();           \
        CurPC = curPC, InstructionCount = static_cast<int32_t>(count); \
    } while (0)

#define SYNC_IN()                                                                    \
    do {                                                                             \
        A = this->A, F = this->F, BC = this->BC(), DE = this->DE(), HL = this->HL(); \
        SP = this->SP, PC = this->PC;                                                \
        periodTicks = PeriodTicks;                                                   \
        curPC = CurPC, count = static_cast<uint32_t>(InstructionCount);              \
    } while (0)

// Memory access. The window pointers answer ordinary RAM and ROM accesses; anything else (absent
// memory, ROM writes, the colour-write hook, a fault already pending) goes through the memory's
// careful path, after which a fault abandons the instruction. The flat and viewed executors
// read through one base pointer (kOneBase); only the flat one writes through it too.
#define READ8_OR(dst, address, onFault)               \
    do {                                              \
        uint16_t a_ = static_cast<uint16_t>(address); \
        const uint8_t* w_ = readWindow_[a_ >> 12];    \
        if constexpr (kOneBase) {                     \
            (dst) = mem[a_];                          \
        } else if (w_ != nullptr) [[likely]] {        \
            (dst) = w_[a_ & 0x0FFF];                  \
        } else {                                      \
            uint8_t slow_ = memory_.ReadSlow(a_);     \
            if (memory_.Fault()) goto onFault;        \
            (dst) = slow_;                            \
        }                                             \
    } while (0)

#define READ8(dst, address) READ8_OR(dst, address, memory_fault)

#define WRITE8(address, value)                                  \
    do {                                                        \
        uint16_t a_ = static_cast<uint16_t>(address);           \
        uint8_t* w_ = writeWindow_[a_ >> 12];                   \
        if constexpr (kMode == kFlat) {                         \
            mem[a_] = static_cast<uint8_t>(value);              \
        } else if (w_ != nullptr) [[likely]] {                  \
            w_[a_ & 0x0FFF] = static_cast<uint8_t>(value);      \
        } else {                                                \
            memory_.WriteSlow(a_, static_cast<uint8_t>(value)); \
            if (memory_.Fault()) goto memory_fault;             \
        }                                                       \
    } while (0)

// Operand fetch: from memory at PC, or during an interrupt acknowledge from the bytes the
// interrupt unit supplied. A fault here also takes back the instruction count.
#define FETCH8(dst)                                      \
    do {                                                 \
        if constexpr (kOneBase) {                        \
            (dst) = mem[PC];                             \
            PC = static_cast<uint16_t>(PC + 1);          \
        } else if constexpr (kMode != kSupplied) {       \
            uint16_t a_ = PC;                            \
            const uint8_t* w_ = readWindow_[a_ >> 12];   \
            if (w_ != nullptr) [[likely]] {              \
                (dst) = w_[a_ & 0x0FFF];                 \
            } else {                                     \
                uint8_t slow_ = memory_.ReadSlow(a_);    \
                if (memory_.Fault()) goto operand_fault; \
                (dst) = slow_;                           \
            }                                            \
            PC = static_cast<uint16_t>(PC + 1);          \
        } else {                                         \
            (dst) = static_cast<uint8_t>(ackOperand);    \
            ackOperand >>= 8;                            \
        }                                                \
    } while (0)

// Words inside one window are read with one look-up; a word that straddles two windows (or
// meets the careful path) is read a byte at a time, low byte first, as the bus does.
#define FETCH16(dst)                                                                          \
    do {                                                                                      \
        const uint8_t* w16_ = kOneBase ? mem : readWindow_[static_cast<uint32_t>(PC) >> 12];  \
        const uint16_t edge16_ = kOneBase ? 0xFFFF : 0x0FFF;                                  \
        if (kMode != kSupplied && (kOneBase || w16_ != nullptr) && (PC & edge16_) != edge16_) \
            [[likely]] {                                                                      \
            const uint8_t* p16_ = w16_ + (PC & edge16_);                                      \
            (dst) = PAIR(p16_[1], p16_[0]);                                                   \
            PC = static_cast<uint16_t>(PC + 2);                                               \
        } else {                                                                              \
            uint8_t lo_, hi_;                                                                 \
            FETCH8(lo_);                                                                      \
            FETCH8(hi_);                                                                      \
            (dst) = PAIR(hi_, lo_);                                                           \
        }                                                                                     \
    } while (0)

#define READ16(dst, address)                                                                  \
    do {                                                                                      \
        uint16_t at_ = static_cast<uint16_t>(address);                                        \
        const uint8_t* w16_ = kOneBase ? mem : readWindow_[static_cast<uint32_t>(at_) >> 12]; \
        const uint16_t edge16_ = kOneBase ? 0xFFFF : 0x0FFF;                                  \
        if ((kOneBase || w16_ != nullptr) && (at_ & edge16_) != edge16_) [[likely]] {         \
            const uint8_t* p16_ = w16_ + (at_ & edge16_);                                     \
            (dst) = PAIR(p16_[1], p16_[0]);                                                   \
        } else {                                                                              \
            uint8_t lo_, hi_;                                                                 \
            READ8(lo_, at_);                                                                  \
            READ8(hi_, at_ + 1);                                                              \
            (dst) = PAIR(hi_, lo_);                                                           \
        }                                                                                     \
    } while (0)

#define WRITE16(address, value)                        \
    do {                                               \
        uint16_t at_ = static_cast<uint16_t>(address); \
        uint16_t v16_ = static_cast<uint16_t>(value);  \
        WRITE8(at_, v16_);                             \
        WRITE8(at_ + 1, v16_ >> 8);                    \
    } while (0)

#define CALL(target)                                      \
    do {                                                  \
        uint16_t target_ = static_cast<uint16_t>(target); \
        SP = static_cast<uint16_t>(SP - 2);               \
        WRITE16(SP, PC);                                  \
        PC = target_;                                     \
    } while (0)

#define CLOSE_SERVICE()                               \
    do {                                              \
        if (IsrSP != -1) [[unlikely]]                 \
            CloseServiceMeasurement(SP, CLOCK_NOW()); \
    } while (0)

#define RETURN()                            \
    do {                                    \
        uint16_t to_;                       \
        READ16(to_, SP);                    \
        SP = static_cast<uint16_t>(SP + 2); \
        PC = to_;                           \
        CLOSE_SERVICE();                    \
    } while (0)

// The device on port `p` (a port nobody answers abandons the instruction), with the registers
// written back and the pending ticks handed over when the access may need them. `reach`
// receives the device's PortReach: an access that reaches nothing beyond its device ends like
// any other instruction.
#define PORT_DEVICE(d, p, isWrite, reach)                    \
    PeripheralDevice* d = portDevice_[p];                    \
    if (d == nullptr) {                                      \
        FaultPortWrite = (isWrite);                          \
        FaultPort = (p);                                     \
        goto port_fault;                                     \
    }                                                        \
    SYNC_OUT();                                              \
    (reach) = (isWrite) ? portReach_[p] : portReadReach_[p]; \
    if ((reach)&kReachListenerTime) HAND_OVER_BEFORE_PORT()

#define PORT_OUT(port, reach)              \
    do {                                   \
        uint8_t p_ = (port);               \
        PORT_DEVICE(d_, p_, true, reach);  \
        d_->PortWrite(p_, A, periodTicks); \
    } while (0)

#define PORT_IN(port, reach)               \
    do {                                   \
        uint8_t p_ = (port);               \
        PORT_DEVICE(d_, p_, false, reach); \
        A = d_->PortRead(p_, periodTicks); \
    } while (0)

#define TELL_CONTROLLER_INTE(state)           \
    do {                                      \
        if (controller_) {                    \
            FLUSH_LISTENERS();                \
            SYNC_OUT();                       \
            controller_->SetInteInput(state); \
        }                                     \
    } while (0)

// A halted processor keeps executing its HLT, one tick at a time, until an interrupt or reset.
#define HALT()                                                                       \
    do {                                                                             \
        PC = static_cast<uint16_t>(curPC);                                           \
        if (!Halted) {                                                               \
            Halted = true;                                                           \
            LastTicks = Timing::kTable[0x76] + (periodTicks & Timing::kOddTickMask); \
        } else {                                                                     \
            LastTicks = 1;                                                           \
        }                                                                            \
    } while (0)

// Tick listeners. With merging, the ticks of instructions that end before the listeners' quiet
// time runs out are handed over later in one call; anything that could look at a listener's
// device (a port access, an INTE change, the end of the run) first hands over what is pending.
#define CALL_LISTENERS()                                                             \
    do {                                                                             \
        SYNC_OUT();                                                                  \
        int32_t quiet_ = CallTickListeners(periodTicks, periodTicks - listenedUpTo); \
        listenedUpTo = periodTicks;                                                  \
        listenDeadline = int64_t{quiet_} >= int64_t{INT32_MAX} - periodTicks         \
                             ? INT32_MAX                                             \
                             : periodTicks + quiet_;                                 \
    } while (0)

// After an instruction that reached outside (a port, INTE) the listeners are asked again how long
// they stay quiet, counted from their last call: a device may have changed, and the
// instruction's own ticks are merged too when they fall short of that.
#define REQUERY_LISTENERS()                                                   \
    do {                                                                      \
        SYNC_OUT();                                                           \
        int32_t quiet_ = ListenersQuiet();                                    \
        listenDeadline = int64_t{quiet_} >= int64_t{INT32_MAX} - listenedUpTo \
                             ? INT32_MAX                                      \
                             : listenedUpTo + quiet_;                         \
    } while (0)

#define FLUSH_LISTENERS()                                                             \
    do {                                                                              \
        if (periodTicks != listenedUpTo && !tickListeners_.empty()) CALL_LISTENERS(); \
    } while (0)

// Before a port access, with the registers written back (listeners never change them): the
// listeners hear of the pending ticks, but asking how long they then stay quiet would be wasted,
// since the access may change the answer and the instruction's careful end asks again
// (REQUERY_LISTENERS, or a call after every instruction) before the deadline is looked at.
#define HAND_OVER_BEFORE_PORT()                                            \
    do {                                                                   \
        if (periodTicks != listenedUpTo && !tickListeners_.empty()) {      \
            HandTicksToListeners(periodTicks, periodTicks - listenedUpTo); \
            listenedUpTo = periodTicks;                                    \
        }                                                                  \
    } while (0)

// Fetches the next opcode from memory and jumps to its handler. PrevPC and CurPC record the
// execution history the debugger shows.
#define FETCH_AND_DISPATCH()                \
    do {                                    \
        PrevPC = curPC;                     \
        curPC = PC;                         \
        READ8_OR(opcode, PC, opcode_fault); \
        PC = static_cast<uint16_t>(PC + 1); \
        ++count;                            \
        goto* handlers[opcode];             \
    } while (0)

// End of an instruction whose ticks are known. While nothing needs the careful end (EI in
// flight, tick listeners, single stepping) the clocks advance here and the next instruction is
// fetched and dispatched from the end of this handler, which lets the host's branch predictor
// learn which instruction tends to follow which. When the careful end is needed, limit is below
// any tick count, so the one comparison sends the instruction there.
#define NEXT_WITH(ticks)                                                             \
    do {                                                                             \
        int32_t t_ = (ticks);                                                        \
        LastTicks = t_;                                                              \
        periodTicks = static_cast<int32_t>(static_cast<uint32_t>(periodTicks) + t_); \
        if (periodTicks >= limit) [[unlikely]]                                       \
            goto end_limit;                                                          \
        FETCH_AND_DISPATCH();                                                        \
    } while (0)

#define NEXT(op) NEXT_WITH(Timing::kTable[op] + (periodTicks & Timing::kOddTickMask))

// For instructions that reach outside the processor or change the EI state: always the careful
// end, which looks at what the outside may have changed.
#define NEXT_SLOW(op)                                                          \
    do {                                                                       \
        LastTicks = Timing::kTable[op] + (periodTicks & Timing::kOddTickMask); \
        goto end_slow;                                                         \
    } while (0)

// The free-running clock advances with the period counter, so inside the loop it is derived from
// it instead of being counted separately (see FoldedClock).
#define CLOCK_NOW() FoldedClock(clockAtEntry, static_cast<uint32_t>(periodTicks - periodAtEntry))

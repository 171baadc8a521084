#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>

#include "machine/ChipCpu8080.h"
#include "machine/ChipCpu8080Execute.h"
#include "machine/ChipCpu8080Instructions.h"
#include "machine/Cpu8080Alu.h"
#include "machine/Cpu8080Opcodes.h"
#include "machine/Cpu8080Tables.h"
#include "machine/Cpu8080Timing.h"
#include "machine/InstructionSet.h"

using tables8080::kDaaTable;
using tables8080::kFlagTable;

namespace {

// The handler table is built from the opcode table in its order, so that order must be the
// opcodes themselves.
constexpr bool OpcodeTableInOrder() {
#define OP_CODE(code, ...) code,
    constexpr int codes[] = {CPU8080_OPCODES(OP_CODE)};
#undef OP_CODE
    if (std::size(codes) != 256) return false;
    for (int i = 0; i < 256; ++i) {
        if (codes[i] != i) return false;
    }
    return true;
}

}  // namespace

// Executes instructions until the budget is reached (or one instruction when kSingleStep).
// Returns the ticks of that one instruction, or the number of instructions completed.
template <bool kSingleStep, typename Timing, int kMode>
int64_t ChipCpu8080::Execute(int32_t budget) {
    static_assert(kMode != kSupplied || kSingleStep);
    [[maybe_unused]] constexpr bool kOneBase = kMode == kFlat || kMode == kViewed;
#define OP_LABEL(code, ...) &&op_##code,
    static void* const handlers[256] = {CPU8080_OPCODES(OP_LABEL)};
#undef OP_LABEL
    static_assert(OpcodeTableInOrder());

    uint8_t A = this->A, F = this->F;
    uint16_t BC = this->BC(), DE = this->DE(), HL = this->HL(), SP = this->SP, PC = this->PC;
    int32_t periodTicks = PeriodTicks;
    const int32_t periodAtEntry = periodTicks;
    const int32_t clockAtEntry = ClockTicks;
    const uint8_t* const flags = kFlagTable.data();
    const uint16_t* const daa = kDaaTable.data();
    // Only the flat and viewed executors read this; Run picks them by runMode_ and they leave as
    // soon as the mapping changes.
    uint8_t* const mem = flatBase_;
    // History and the instruction count live in locals too (SYNC_OUT writes them back); PrevPC
    // is only ever written, so it goes straight to memory.
    int32_t curPC = CurPC;
    uint32_t count = static_cast<uint32_t>(InstructionCount);
    // Completed instructions are counted from InstructionCount, which counts every fetch from
    // memory, plus the instructions the interrupt unit supplied.
    const uint32_t countAtStart = count;
    int64_t supplied = 0;
    uint8_t opcode = 0;
    [[maybe_unused]] uint16_t ackOperand = 0;  // operand bytes the interrupt unit supplied
    // The listeners have heard of every tick up to listenedUpTo; they must hear again when the
    // period counter reaches listenDeadline. The fast path watches the nearer of that and the
    // budget, or nothing at all (limit below every tick count) when the careful end is needed.
    int32_t listenedUpTo = periodTicks;
    int32_t listenDeadline = mergeTicks_ ? periodTicks : INT32_MAX;
    int32_t limit = budget;
    bool slowEnd = true;

begin:
    if constexpr (kMode == kSupplied) goto acknowledge;
    if constexpr (!kSingleStep) {
        if (runMode_ != kMode || flatBase_ != mem) goto out;
    }
    slowEnd = kSingleStep || EiPending || EiArmed || (!tickListeners_.empty() && !mergeTicks_);
    limit = slowEnd ? INT32_MIN : std::min(budget, listenDeadline);
    if (ResetPending) [[unlikely]] {
        SYNC_OUT();
        Reset();
        SYNC_IN();
        if constexpr (kSingleStep) return 0;
        goto begin;
    }
    if (!IntAck) [[likely]]
        FETCH_AND_DISPATCH();

    // Interrupt acknowledge: the one instruction the interrupt unit supplies runs in its own
    // executor, whose operand fetches go to the unit; the fetches of this one never look.
    if constexpr (kMode != kSupplied) {
        FLUSH_LISTENERS();
        SYNC_OUT();
        const int64_t ticks = Execute<true, Timing, kSupplied>(0);
        SYNC_IN();
        listenedUpTo = periodTicks;
        listenDeadline = suppliedDeadline_;
        // A fault abandoned it: nothing of it counts.
        if (ticks == 0) goto out;
        ++supplied;
        if constexpr (kSingleStep) return ticks;
        if (periodTicks >= budget || stopRequested_) goto out;
        goto begin;
    }

acknowledge:
    __attribute__((unused));
    // PC stays where the program was (past the HLT when it was halted).
    if (Halted) {
        Halted = false;
        PC = static_cast<uint16_t>(PC + 1);
    }
    ackAddress_ = PC;
    SYNC_OUT();
    opcode = controller_ ? controller_->InterruptInstruction(0) : 0xFF;
    {
        int length = isa::InstructionLength[opcode];
        ackOperand = 0;
        if (length >= 2 && controller_) ackOperand = controller_->InterruptInstruction(1);
        if (length == 3 && controller_) {
            ackOperand =
                static_cast<uint16_t>(ackOperand | controller_->InterruptInstruction(2) << 8);
        }
    }
    IsrSP = SP;
    IsrTicks = CLOCK_NOW();
    IntAck = false;
    goto* handlers[opcode];

    // One handler per opcode, from the table; a line out of order would dispatch to the wrong
    // instruction.
#define OP_HANDLER(code, family, ...)                   \
    op_##code : {                                       \
        EXEC_##family(code __VA_OPT__(, ) __VA_ARGS__); \
    }
    CPU8080_OPCODES(OP_HANDLER)
#undef OP_HANDLER

end_limit:
    if (slowEnd) {
        periodTicks = static_cast<int32_t>(static_cast<uint32_t>(periodTicks) - LastTicks);
        goto end_slow;
    }
    if (periodTicks >= listenDeadline) CALL_LISTENERS();
    if (periodTicks >= budget || stopRequested_) goto out;
    goto begin;

end_slow:
    // Earlier instructions' ticks first: the listeners must be where they would have been.
    FLUSH_LISTENERS();
    // EI takes effect one instruction late: the flip-flop is set at the end of the instruction
    // after EI, before the tick listeners run, so an interrupt unit that accepts while counting
    // those ticks is served right after that instruction.
    if (EiArmed) {
        EiArmed = false;
        Inte = true;
        TELL_CONTROLLER_INTE(true);
    }
    if (EiPending) {
        EiPending = false;
        EiArmed = true;
    }
    periodTicks = static_cast<int32_t>(static_cast<uint32_t>(periodTicks) + LastTicks);
    if (!tickListeners_.empty()) {
        // Stepping is the reference: a call after every instruction.
        if (!kSingleStep && mergeTicks_) REQUERY_LISTENERS();
        if (kSingleStep || !mergeTicks_ || periodTicks >= listenDeadline) CALL_LISTENERS();
    }
    if constexpr (kSingleStep) {
        SYNC_OUT();
        suppliedDeadline_ = listenDeadline;
        return LastTicks;
    }
    if (periodTicks >= budget || stopRequested_) goto out;
    goto begin;

out:
    FLUSH_LISTENERS();
    SYNC_OUT();
    return count - countAtStart + supplied;

operand_fault:
    __attribute__((unused));
    --count;
opcode_fault:
    __attribute__((unused));
    // Nothing of this instruction was counted.
    PC = static_cast<uint16_t>(curPC);
    FLUSH_LISTENERS();
    SYNC_OUT();
    if constexpr (kSingleStep) return 0;
    return count - countAtStart + supplied;

port_fault:
    PortFault = true;
memory_fault:
    __attribute__((unused));
    // The abandoned instruction was counted when it was fetched but did not complete; one the
    // interrupt unit supplied was not counted, and PC goes back to where the program was.
    PC = kMode == kSupplied ? ackAddress_ : static_cast<uint16_t>(curPC);
    FLUSH_LISTENERS();
    SYNC_OUT();
    if constexpr (kSingleStep) return 0;
    return count - countAtStart + supplied - 1;
}

#define INSTANTIATE(kSingleStep, Timing, kMode) \
    template int64_t ChipCpu8080::Execute<kSingleStep, Timing, ChipCpu8080::kMode>(int32_t);
INSTANTIATE(true, timing8080::Standard, kWindowed)
INSTANTIATE(false, timing8080::Standard, kWindowed)
INSTANTIATE(false, timing8080::Standard, kFlat)
INSTANTIATE(false, timing8080::Standard, kViewed)
INSTANTIATE(true, timing8080::Standard, kSupplied)
INSTANTIATE(true, timing8080::Machine, kWindowed)
INSTANTIATE(false, timing8080::Machine, kWindowed)
INSTANTIATE(false, timing8080::Machine, kFlat)
INSTANTIATE(false, timing8080::Machine, kViewed)
INSTANTIATE(true, timing8080::Machine, kSupplied)

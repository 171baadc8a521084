#include <algorithm>
#include <cstdint>

#include "machine/ChipCpu8080.h"
#include "machine/ChipCpu8080Execute.h"
#include "machine/Cpu8080Alu.h"
#include "machine/Cpu8080Tables.h"
#include "machine/Cpu8080Timing.h"
#include "machine/InstructionSet.h"

using tables8080::kDaaTable;
using tables8080::kFlagTable;

// Executes instructions until the budget is reached (or one instruction when kSingleStep).
// Returns the ticks of that one instruction, or the number of instructions completed.
template <bool kSingleStep, typename Timing, int kMode>
int64_t ChipCpu8080::Execute(int32_t budget) {
    static_assert(kMode != kSupplied || kSingleStep);
    [[maybe_unused]] constexpr bool kOneBase = kMode == kFlat || kMode == kViewed;
    static void* const handlers[256] = {
        HANDLER_ROW(0), HANDLER_ROW(1), HANDLER_ROW(2), HANDLER_ROW(3),
        HANDLER_ROW(4), HANDLER_ROW(5), HANDLER_ROW(6), HANDLER_ROW(7),
        HANDLER_ROW(8), HANDLER_ROW(9), HANDLER_ROW(A), HANDLER_ROW(B),
        HANDLER_ROW(C), HANDLER_ROW(D), HANDLER_ROW(E), HANDLER_ROW(F)};

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

op_00:
    NEXT(0x00);
op_01 : { FETCH16(BC); }
    NEXT(0x01);
op_02 : { WRITE8(BC, A); }
    NEXT(0x02);
op_03 : { BC = static_cast<uint16_t>(BC + 1); }
    NEXT(0x03);
op_04 : { SET_HI(BC, alu8080::Inr(F, flags, HI(BC))); }
    NEXT(0x04);
op_05 : { SET_HI(BC, alu8080::Dcr(F, flags, HI(BC))); }
    NEXT(0x05);
op_06 : {
    uint8_t v;
    FETCH8(v);
    SET_HI(BC, v);
}
    NEXT(0x06);
op_07 : { alu8080::Rlc(A, F); }
    NEXT(0x07);
op_08:
    NEXT(0x08);
op_09 : { alu8080::Dad(HL, F, BC); }
    NEXT(0x09);
op_0A : { READ8(A, BC); }
    NEXT(0x0A);
op_0B : { BC = static_cast<uint16_t>(BC - 1); }
    NEXT(0x0B);
op_0C : { SET_LO(BC, alu8080::Inr(F, flags, LO(BC))); }
    NEXT(0x0C);
op_0D : { SET_LO(BC, alu8080::Dcr(F, flags, LO(BC))); }
    NEXT(0x0D);
op_0E : {
    uint8_t v;
    FETCH8(v);
    SET_LO(BC, v);
}
    NEXT(0x0E);
op_0F : { alu8080::Rrc(A, F); }
    NEXT(0x0F);
op_10:
    NEXT(0x10);
op_11 : { FETCH16(DE); }
    NEXT(0x11);
op_12 : { WRITE8(DE, A); }
    NEXT(0x12);
op_13 : { DE = static_cast<uint16_t>(DE + 1); }
    NEXT(0x13);
op_14 : { SET_HI(DE, alu8080::Inr(F, flags, HI(DE))); }
    NEXT(0x14);
op_15 : { SET_HI(DE, alu8080::Dcr(F, flags, HI(DE))); }
    NEXT(0x15);
op_16 : {
    uint8_t v;
    FETCH8(v);
    SET_HI(DE, v);
}
    NEXT(0x16);
op_17 : { alu8080::Ral(A, F); }
    NEXT(0x17);
op_18:
    NEXT(0x18);
op_19 : { alu8080::Dad(HL, F, DE); }
    NEXT(0x19);
op_1A : { READ8(A, DE); }
    NEXT(0x1A);
op_1B : { DE = static_cast<uint16_t>(DE - 1); }
    NEXT(0x1B);
op_1C : { SET_LO(DE, alu8080::Inr(F, flags, LO(DE))); }
    NEXT(0x1C);
op_1D : { SET_LO(DE, alu8080::Dcr(F, flags, LO(DE))); }
    NEXT(0x1D);
op_1E : {
    uint8_t v;
    FETCH8(v);
    SET_LO(DE, v);
}
    NEXT(0x1E);
op_1F : { alu8080::Rar(A, F); }
    NEXT(0x1F);
op_20:
    NEXT(0x20);
op_21 : { FETCH16(HL); }
    NEXT(0x21);
op_22 : {
    uint16_t at;
    FETCH16(at);
    WRITE16(at, HL);
}
    NEXT(0x22);
op_23 : { HL = static_cast<uint16_t>(HL + 1); }
    NEXT(0x23);
op_24 : { SET_HI(HL, alu8080::Inr(F, flags, HI(HL))); }
    NEXT(0x24);
op_25 : { SET_HI(HL, alu8080::Dcr(F, flags, HI(HL))); }
    NEXT(0x25);
op_26 : {
    uint8_t v;
    FETCH8(v);
    SET_HI(HL, v);
}
    NEXT(0x26);
op_27 : { alu8080::Daa(A, F, daa); }
    NEXT(0x27);
op_28:
    NEXT(0x28);
op_29 : { alu8080::Dad(HL, F, HL); }
    NEXT(0x29);
op_2A : {
    uint16_t at;
    FETCH16(at);
    READ16(HL, at);
}
    NEXT(0x2A);
op_2B : { HL = static_cast<uint16_t>(HL - 1); }
    NEXT(0x2B);
op_2C : { SET_LO(HL, alu8080::Inr(F, flags, LO(HL))); }
    NEXT(0x2C);
op_2D : { SET_LO(HL, alu8080::Dcr(F, flags, LO(HL))); }
    NEXT(0x2D);
op_2E : {
    uint8_t v;
    FETCH8(v);
    SET_LO(HL, v);
}
    NEXT(0x2E);
op_2F : { A = static_cast<uint8_t>(~A); }
    NEXT(0x2F);
op_30:
    NEXT(0x30);
op_31 : { FETCH16(SP); }
    NEXT(0x31);
op_32 : {
    uint16_t at;
    FETCH16(at);
    WRITE8(at, A);
}
    NEXT(0x32);
op_33 : { SP = static_cast<uint16_t>(SP + 1); }
    NEXT(0x33);
op_34 : {
    uint8_t v;
    READ8(v, HL);
    v = alu8080::Inr(F, flags, v);
    WRITE8(HL, v);
}
    NEXT(0x34);
op_35 : {
    uint8_t v;
    READ8(v, HL);
    v = alu8080::Dcr(F, flags, v);
    WRITE8(HL, v);
}
    NEXT(0x35);
op_36 : {
    uint8_t v;
    FETCH8(v);
    WRITE8(HL, v);
}
    NEXT(0x36);
op_37 : { F |= kFlagCY; }
    NEXT(0x37);
op_38:
    NEXT(0x38);
op_39 : { alu8080::Dad(HL, F, SP); }
    NEXT(0x39);
op_3A : {
    uint16_t at;
    FETCH16(at);
    READ8(A, at);
}
    NEXT(0x3A);
op_3B : { SP = static_cast<uint16_t>(SP - 1); }
    NEXT(0x3B);
op_3C : { A = alu8080::Inr(F, flags, A); }
    NEXT(0x3C);
op_3D : { A = alu8080::Dcr(F, flags, A); }
    NEXT(0x3D);
op_3E : {
    uint8_t v;
    FETCH8(v);
    A = v;
}
    NEXT(0x3E);
op_3F : { F ^= kFlagCY; }
    NEXT(0x3F);
op_40:
    NEXT(0x40);
op_41 : { SET_HI(BC, LO(BC)); }
    NEXT(0x41);
op_42 : { SET_HI(BC, HI(DE)); }
    NEXT(0x42);
op_43 : { SET_HI(BC, LO(DE)); }
    NEXT(0x43);
op_44 : { SET_HI(BC, HI(HL)); }
    NEXT(0x44);
op_45 : { SET_HI(BC, LO(HL)); }
    NEXT(0x45);
op_46 : {
    uint8_t v;
    READ8(v, HL);
    SET_HI(BC, v);
}
    NEXT(0x46);
op_47 : { SET_HI(BC, A); }
    NEXT(0x47);
op_48 : { SET_LO(BC, HI(BC)); }
    NEXT(0x48);
op_49:
    NEXT(0x49);
op_4A : { SET_LO(BC, HI(DE)); }
    NEXT(0x4A);
op_4B : { SET_LO(BC, LO(DE)); }
    NEXT(0x4B);
op_4C : { SET_LO(BC, HI(HL)); }
    NEXT(0x4C);
op_4D : { SET_LO(BC, LO(HL)); }
    NEXT(0x4D);
op_4E : {
    uint8_t v;
    READ8(v, HL);
    SET_LO(BC, v);
}
    NEXT(0x4E);
op_4F : { SET_LO(BC, A); }
    NEXT(0x4F);
op_50 : { SET_HI(DE, HI(BC)); }
    NEXT(0x50);
op_51 : { SET_HI(DE, LO(BC)); }
    NEXT(0x51);
op_52:
    NEXT(0x52);
op_53 : { SET_HI(DE, LO(DE)); }
    NEXT(0x53);
op_54 : { SET_HI(DE, HI(HL)); }
    NEXT(0x54);
op_55 : { SET_HI(DE, LO(HL)); }
    NEXT(0x55);
op_56 : {
    uint8_t v;
    READ8(v, HL);
    SET_HI(DE, v);
}
    NEXT(0x56);
op_57 : { SET_HI(DE, A); }
    NEXT(0x57);
op_58 : { SET_LO(DE, HI(BC)); }
    NEXT(0x58);
op_59 : { SET_LO(DE, LO(BC)); }
    NEXT(0x59);
op_5A : { SET_LO(DE, HI(DE)); }
    NEXT(0x5A);
op_5B:
    NEXT(0x5B);
op_5C : { SET_LO(DE, HI(HL)); }
    NEXT(0x5C);
op_5D : { SET_LO(DE, LO(HL)); }
    NEXT(0x5D);
op_5E : {
    uint8_t v;
    READ8(v, HL);
    SET_LO(DE, v);
}
    NEXT(0x5E);
op_5F : { SET_LO(DE, A); }
    NEXT(0x5F);
op_60 : { SET_HI(HL, HI(BC)); }
    NEXT(0x60);
op_61 : { SET_HI(HL, LO(BC)); }
    NEXT(0x61);
op_62 : { SET_HI(HL, HI(DE)); }
    NEXT(0x62);
op_63 : { SET_HI(HL, LO(DE)); }
    NEXT(0x63);
op_64:
    NEXT(0x64);
op_65 : { SET_HI(HL, LO(HL)); }
    NEXT(0x65);
op_66 : {
    uint8_t v;
    READ8(v, HL);
    SET_HI(HL, v);
}
    NEXT(0x66);
op_67 : { SET_HI(HL, A); }
    NEXT(0x67);
op_68 : { SET_LO(HL, HI(BC)); }
    NEXT(0x68);
op_69 : { SET_LO(HL, LO(BC)); }
    NEXT(0x69);
op_6A : { SET_LO(HL, HI(DE)); }
    NEXT(0x6A);
op_6B : { SET_LO(HL, LO(DE)); }
    NEXT(0x6B);
op_6C : { SET_LO(HL, HI(HL)); }
    NEXT(0x6C);
op_6D:
    NEXT(0x6D);
op_6E : {
    uint8_t v;
    READ8(v, HL);
    SET_LO(HL, v);
}
    NEXT(0x6E);
op_6F : { SET_LO(HL, A); }
    NEXT(0x6F);
op_70 : { WRITE8(HL, HI(BC)); }
    NEXT(0x70);
op_71 : { WRITE8(HL, LO(BC)); }
    NEXT(0x71);
op_72 : { WRITE8(HL, HI(DE)); }
    NEXT(0x72);
op_73 : { WRITE8(HL, LO(DE)); }
    NEXT(0x73);
op_74 : { WRITE8(HL, HI(HL)); }
    NEXT(0x74);
op_75 : { WRITE8(HL, LO(HL)); }
    NEXT(0x75);
op_76 : {
    HALT();
    if (LastTicks != 1 || slowEnd) goto end_slow;
    // Halted already, and nobody needs to hear of each idle tick: the re-executions up to
    // the nearer of the budget and the listeners' deadline happen at once. Each would have
    // fetched the HLT again and left the history as it is.
    int32_t idle = limit - periodTicks;
    if (idle > 1) {
        count += static_cast<uint32_t>(idle - 1);
        PrevPC = curPC;
        periodTicks += idle - 1;
    }
    NEXT_WITH(1);
}
op_77 : { WRITE8(HL, A); }
    NEXT(0x77);
op_78 : { A = HI(BC); }
    NEXT(0x78);
op_79 : { A = LO(BC); }
    NEXT(0x79);
op_7A : { A = HI(DE); }
    NEXT(0x7A);
op_7B : { A = LO(DE); }
    NEXT(0x7B);
op_7C : { A = HI(HL); }
    NEXT(0x7C);
op_7D : { A = LO(HL); }
    NEXT(0x7D);
op_7E : {
    uint8_t v;
    READ8(v, HL);
    A = v;
}
    NEXT(0x7E);
op_7F:
    NEXT(0x7F);
op_80 : {
    uint8_t v = HI(BC);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x80);
op_81 : {
    uint8_t v = LO(BC);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x81);
op_82 : {
    uint8_t v = HI(DE);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x82);
op_83 : {
    uint8_t v = LO(DE);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x83);
op_84 : {
    uint8_t v = HI(HL);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x84);
op_85 : {
    uint8_t v = LO(HL);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x85);
op_86 : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x86);
op_87 : {
    uint8_t v = A;
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0x87);
op_88 : {
    uint8_t v = HI(BC);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x88);
op_89 : {
    uint8_t v = LO(BC);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x89);
op_8A : {
    uint8_t v = HI(DE);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x8A);
op_8B : {
    uint8_t v = LO(DE);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x8B);
op_8C : {
    uint8_t v = HI(HL);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x8C);
op_8D : {
    uint8_t v = LO(HL);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x8D);
op_8E : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x8E);
op_8F : {
    uint8_t v = A;
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x8F);
op_90 : {
    uint8_t v = HI(BC);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x90);
op_91 : {
    uint8_t v = LO(BC);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x91);
op_92 : {
    uint8_t v = HI(DE);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x92);
op_93 : {
    uint8_t v = LO(DE);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x93);
op_94 : {
    uint8_t v = HI(HL);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x94);
op_95 : {
    uint8_t v = LO(HL);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x95);
op_96 : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x96);
op_97 : {
    uint8_t v = A;
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0x97);
op_98 : {
    uint8_t v = HI(BC);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x98);
op_99 : {
    uint8_t v = LO(BC);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x99);
op_9A : {
    uint8_t v = HI(DE);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x9A);
op_9B : {
    uint8_t v = LO(DE);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x9B);
op_9C : {
    uint8_t v = HI(HL);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x9C);
op_9D : {
    uint8_t v = LO(HL);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x9D);
op_9E : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x9E);
op_9F : {
    uint8_t v = A;
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0x9F);
op_A0 : {
    uint8_t v = HI(BC);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA0);
op_A1 : {
    uint8_t v = LO(BC);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA1);
op_A2 : {
    uint8_t v = HI(DE);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA2);
op_A3 : {
    uint8_t v = LO(DE);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA3);
op_A4 : {
    uint8_t v = HI(HL);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA4);
op_A5 : {
    uint8_t v = LO(HL);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA5);
op_A6 : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA6);
op_A7 : {
    uint8_t v = A;
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xA7);
op_A8 : {
    uint8_t v = HI(BC);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xA8);
op_A9 : {
    uint8_t v = LO(BC);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xA9);
op_AA : {
    uint8_t v = HI(DE);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xAA);
op_AB : {
    uint8_t v = LO(DE);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xAB);
op_AC : {
    uint8_t v = HI(HL);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xAC);
op_AD : {
    uint8_t v = LO(HL);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xAD);
op_AE : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xAE);
op_AF : {
    uint8_t v = A;
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xAF);
op_B0 : {
    uint8_t v = HI(BC);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB0);
op_B1 : {
    uint8_t v = LO(BC);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB1);
op_B2 : {
    uint8_t v = HI(DE);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB2);
op_B3 : {
    uint8_t v = LO(DE);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB3);
op_B4 : {
    uint8_t v = HI(HL);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB4);
op_B5 : {
    uint8_t v = LO(HL);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB5);
op_B6 : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB6);
op_B7 : {
    uint8_t v = A;
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xB7);
op_B8 : {
    uint8_t v = HI(BC);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xB8);
op_B9 : {
    uint8_t v = LO(BC);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xB9);
op_BA : {
    uint8_t v = HI(DE);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xBA);
op_BB : {
    uint8_t v = LO(DE);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xBB);
op_BC : {
    uint8_t v = HI(HL);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xBC);
op_BD : {
    uint8_t v = LO(HL);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xBD);
op_BE : {
    uint8_t v;
    READ8(v, HL);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xBE);
op_BF : {
    uint8_t v = A;
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xBF);
op_C0 : {
    if (!(F & kFlagZ)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xC0);
op_C1 : {
    uint16_t v;
    READ16(v, SP);
    SP = static_cast<uint16_t>(SP + 2);
    BC = v;
}
    NEXT(0xC1);
op_C2 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagZ)) PC = to;
}
    NEXT(0xC2);
op_C3 : {
    uint16_t to;
    FETCH16(to);
    PC = to;
}
    NEXT(0xC3);
op_C4 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagZ)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xC4);
op_C5 : {
    SP = static_cast<uint16_t>(SP - 2);
    WRITE16(SP, BC);
}
    NEXT(0xC5);
op_C6 : {
    uint8_t v;
    FETCH8(v);
    alu8080::Add(A, F, flags, v, 0);
}
    NEXT(0xC6);
op_C7 : { CALL(0); }
    NEXT(0xC7);
op_C8 : {
    if ((F & kFlagZ)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xC8);
op_C9 : { RETURN(); }
    NEXT(0xC9);
op_CA : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagZ)) PC = to;
}
    NEXT(0xCA);
op_CB : {
    uint16_t to;
    FETCH16(to);
    PC = to;
}
    NEXT(0xCB);
op_CC : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagZ)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xCC);
op_CD : {
    uint16_t to;
    FETCH16(to);
    CALL(to);
}
    NEXT(0xCD);
op_CE : {
    uint8_t v;
    FETCH8(v);
    alu8080::Add(A, F, flags, v, F & kFlagCY);
}
    NEXT(0xCE);
op_CF : { CALL(8); }
    NEXT(0xCF);
op_D0 : {
    if (!(F & kFlagCY)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xD0);
op_D1 : {
    uint16_t v;
    READ16(v, SP);
    SP = static_cast<uint16_t>(SP + 2);
    DE = v;
}
    NEXT(0xD1);
op_D2 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagCY)) PC = to;
}
    NEXT(0xD2);
op_D3 : {
    uint8_t port, reach;
    FETCH8(port);
    PORT_OUT(port, reach);
    if (reach == kReachNothing) NEXT(0xD3);
}
    NEXT_SLOW(0xD3);
op_D4 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagCY)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xD4);
op_D5 : {
    SP = static_cast<uint16_t>(SP - 2);
    WRITE16(SP, DE);
}
    NEXT(0xD5);
op_D6 : {
    uint8_t v;
    FETCH8(v);
    alu8080::Sub(A, F, flags, v, 0);
}
    NEXT(0xD6);
op_D7 : { CALL(16); }
    NEXT(0xD7);
op_D8 : {
    if ((F & kFlagCY)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xD8);
op_D9 : { RETURN(); }
    NEXT(0xD9);
op_DA : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagCY)) PC = to;
}
    NEXT(0xDA);
op_DB : {
    uint8_t port, reach;
    FETCH8(port);
    PORT_IN(port, reach);
    if (reach == kReachNothing) NEXT(0xDB);
}
    NEXT_SLOW(0xDB);
op_DC : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagCY)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xDC);
op_DD : {
    uint16_t to;
    FETCH16(to);
    CALL(to);
}
    NEXT(0xDD);
op_DE : {
    uint8_t v;
    FETCH8(v);
    alu8080::Sub(A, F, flags, v, F & kFlagCY);
}
    NEXT(0xDE);
op_DF : { CALL(24); }
    NEXT(0xDF);
op_E0 : {
    if (!(F & kFlagP)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xE0);
op_E1 : {
    uint16_t v;
    READ16(v, SP);
    SP = static_cast<uint16_t>(SP + 2);
    HL = v;
}
    NEXT(0xE1);
op_E2 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagP)) PC = to;
}
    NEXT(0xE2);
op_E3 : {
    uint16_t v;
    READ16(v, SP);
    WRITE16(SP, HL);
    HL = v;
}
    NEXT(0xE3);
op_E4 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagP)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xE4);
op_E5 : {
    SP = static_cast<uint16_t>(SP - 2);
    WRITE16(SP, HL);
}
    NEXT(0xE5);
op_E6 : {
    uint8_t v;
    FETCH8(v);
    alu8080::Ana(A, F, flags, v);
}
    NEXT(0xE6);
op_E7 : { CALL(32); }
    NEXT(0xE7);
op_E8 : {
    if ((F & kFlagP)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xE8);
op_E9 : {
    PC = HL;
    CLOSE_SERVICE();
}
    NEXT(0xE9);
op_EA : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagP)) PC = to;
}
    NEXT(0xEA);
op_EB : { std::swap(DE, HL); }
    NEXT(0xEB);
op_EC : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagP)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xEC);
op_ED : {
    uint16_t to;
    FETCH16(to);
    CALL(to);
}
    NEXT(0xED);
op_EE : {
    uint8_t v;
    FETCH8(v);
    alu8080::Xra(A, F, flags, v);
}
    NEXT(0xEE);
op_EF : { CALL(40); }
    NEXT(0xEF);
op_F0 : {
    if (!(F & kFlagS)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xF0);
op_F1 : {
    uint16_t v;
    READ16(v, SP);
    SP = static_cast<uint16_t>(SP + 2);
    A = HI(v);
    F = static_cast<uint8_t>((v & 0xD5) | kFlagAlwaysOne);
}
    NEXT(0xF1);
op_F2 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagS)) PC = to;
}
    NEXT(0xF2);
op_F3 : {
    Inte = EiPending = EiArmed = false;
    TELL_CONTROLLER_INTE(false);
}
    NEXT_SLOW(0xF3);
op_F4 : {
    uint16_t to;
    FETCH16(to);
    if (!(F & kFlagS)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xF4);
op_F5 : {
    F = static_cast<uint8_t>((F & 0xD5) | kFlagAlwaysOne);
    SP = static_cast<uint16_t>(SP - 2);
    WRITE16(SP, PAIR(A, F));
}
    NEXT(0xF5);
op_F6 : {
    uint8_t v;
    FETCH8(v);
    alu8080::Ora(A, F, flags, v);
}
    NEXT(0xF6);
op_F7 : { CALL(48); }
    NEXT(0xF7);
op_F8 : {
    if ((F & kFlagS)) {
        RETURN();
        NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xF8);
op_F9 : { SP = HL; }
    NEXT(0xF9);
op_FA : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagS)) PC = to;
}
    NEXT(0xFA);
op_FB : {
    EiPending = true;
    EiArmed = false;
}
    NEXT_SLOW(0xFB);
op_FC : {
    uint16_t to;
    FETCH16(to);
    if ((F & kFlagS)) {
        CALL(to);
        NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask));
    }
}
    NEXT(0xFC);
op_FD : {
    uint16_t to;
    FETCH16(to);
    CALL(to);
}
    NEXT(0xFD);
op_FE : {
    uint8_t v;
    FETCH8(v);
    alu8080::Cmp(A, F, flags, v);
}
    NEXT(0xFE);
op_FF : { CALL(56); }
    NEXT(0xFF);

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

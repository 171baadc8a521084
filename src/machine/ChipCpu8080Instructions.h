#pragma once

// One body per instruction family, expanded by ChipCpu8080::Execute (ChipCpu8080Execute.cpp)
// into one handler per line of the opcode table (Cpu8080Opcodes.h). Each ends the instruction
// itself (NEXT and friends), so a taken call or return can end with its own tick count. They
// use the executor's locals and the building blocks of ChipCpu8080Execute.h by name.

// Byte operands: a register, the byte at HL (which may fault) or the byte after the opcode.
// Register moves go through a temporary the compiler removes.
#define LOAD8_B(v) (v) = HI(BC)
#define LOAD8_C(v) (v) = LO(BC)
#define LOAD8_D(v) (v) = HI(DE)
#define LOAD8_E(v) (v) = LO(DE)
#define LOAD8_H(v) (v) = HI(HL)
#define LOAD8_L(v) (v) = LO(HL)
#define LOAD8_M(v) READ8(v, HL)
#define LOAD8_A(v) (v) = A
#define LOAD8_IMM(v) FETCH8(v)

#define STORE8_B(v) SET_HI(BC, v)
#define STORE8_C(v) SET_LO(BC, v)
#define STORE8_D(v) SET_HI(DE, v)
#define STORE8_E(v) SET_LO(DE, v)
#define STORE8_H(v) SET_HI(HL, v)
#define STORE8_L(v) SET_LO(HL, v)
#define STORE8_M(v) WRITE8(HL, v)
#define STORE8_A(v) A = (v)

#define COND_NZ (!(F & kFlagZ))
#define COND_Z (F & kFlagZ)
#define COND_NC (!(F & kFlagCY))
#define COND_C (F & kFlagCY)
#define COND_PO (!(F & kFlagP))
#define COND_PE (F & kFlagP)
#define COND_P (!(F & kFlagS))
#define COND_M (F & kFlagS)

// A conditional call or return that is taken costs more than one that is not.
#define NEXT_TAKEN_CALL() NEXT_WITH(Timing::kTakenCall + (periodTicks & Timing::kOddTickMask))
#define NEXT_TAKEN_RETURN() NEXT_WITH(Timing::kTakenReturn + (periodTicks & Timing::kOddTickMask))

// Loads, stores and moves.
#define EXEC_NOP(op) NEXT(op)
#define EXEC_MOV(op, dst, src) \
    {                          \
        uint8_t v;             \
        LOAD8_##src(v);        \
        STORE8_##dst(v);       \
    }                          \
    NEXT(op)
#define EXEC_MVI(op, dst) \
    {                     \
        uint8_t v;        \
        FETCH8(v);        \
        STORE8_##dst(v);  \
    }                     \
    NEXT(op)
#define EXEC_LXI(op, rp) \
    FETCH16(rp);         \
    NEXT(op)
#define EXEC_STAX(op, rp) \
    WRITE8(rp, A);        \
    NEXT(op)
#define EXEC_LDAX(op, rp) \
    READ8(A, rp);         \
    NEXT(op)
#define EXEC_STA(op)   \
    {                  \
        uint16_t at;   \
        FETCH16(at);   \
        WRITE8(at, A); \
    }                  \
    NEXT(op)
#define EXEC_LDA(op)  \
    {                 \
        uint16_t at;  \
        FETCH16(at);  \
        READ8(A, at); \
    }                 \
    NEXT(op)
#define EXEC_SHLD(op)    \
    {                    \
        uint16_t at;     \
        FETCH16(at);     \
        WRITE16(at, HL); \
    }                    \
    NEXT(op)
#define EXEC_LHLD(op)   \
    {                   \
        uint16_t at;    \
        FETCH16(at);    \
        READ16(HL, at); \
    }                   \
    NEXT(op)
#define EXEC_XCHG(op)  \
    std::swap(DE, HL); \
    NEXT(op)

// Arithmetic and logic.
// INR and DCR: a byte operand in place; the carry stays as it was.
#define STEP8(op, r, fn)              \
    {                                 \
        uint8_t v;                    \
        LOAD8_##r(v);                 \
        v = alu8080::fn(F, flags, v); \
        STORE8_##r(v);                \
    }                                 \
    NEXT(op)
#define EXEC_INR(op, r) STEP8(op, r, Inr)
#define EXEC_DCR(op, r) STEP8(op, r, Dcr)
#define EXEC_INX(op, rp)                \
    rp = static_cast<uint16_t>(rp + 1); \
    NEXT(op)
#define EXEC_DCX(op, rp)                \
    rp = static_cast<uint16_t>(rp - 1); \
    NEXT(op)
#define EXEC_DAD(op, rp)     \
    alu8080::Dad(HL, F, rp); \
    NEXT(op)

// The accumulator with a byte operand; `call` is the ALU step on v.
#define ACCUMULATE(op, src, call) \
    {                             \
        uint8_t v;                \
        LOAD8_##src(v);           \
        call;                     \
    }                             \
    NEXT(op)
#define EXEC_ADD(op, src) ACCUMULATE(op, src, alu8080::Add(A, F, flags, v, 0))
#define EXEC_ADC(op, src) ACCUMULATE(op, src, alu8080::Add(A, F, flags, v, F& kFlagCY))
#define EXEC_SUB(op, src) ACCUMULATE(op, src, alu8080::Sub(A, F, flags, v, 0))
#define EXEC_SBB(op, src) ACCUMULATE(op, src, alu8080::Sub(A, F, flags, v, F& kFlagCY))
#define EXEC_ANA(op, src) ACCUMULATE(op, src, alu8080::Ana(A, F, flags, v))
#define EXEC_XRA(op, src) ACCUMULATE(op, src, alu8080::Xra(A, F, flags, v))
#define EXEC_ORA(op, src) ACCUMULATE(op, src, alu8080::Ora(A, F, flags, v))
#define EXEC_CMP(op, src) ACCUMULATE(op, src, alu8080::Cmp(A, F, flags, v))

#define EXEC_ROTATE(op, fn) \
    alu8080::fn(A, F);      \
    NEXT(op)
#define EXEC_DAA(op)         \
    alu8080::Daa(A, F, daa); \
    NEXT(op)
#define EXEC_CMA(op)              \
    A = static_cast<uint8_t>(~A); \
    NEXT(op)
#define EXEC_STC(op) \
    F |= kFlagCY;    \
    NEXT(op)
#define EXEC_CMC(op) \
    F ^= kFlagCY;    \
    NEXT(op)

// Jumps, calls and returns.
#define EXEC_JMP(op) \
    {                \
        uint16_t to; \
        FETCH16(to); \
        PC = to;     \
    }                \
    NEXT(op)
#define EXEC_JMP_IF(op, cc)     \
    {                           \
        uint16_t to;            \
        FETCH16(to);            \
        if (COND_##cc) PC = to; \
    }                           \
    NEXT(op)
#define EXEC_CALL(op) \
    {                 \
        uint16_t to;  \
        FETCH16(to);  \
        CALL(to);     \
    }                 \
    NEXT(op)
#define EXEC_CALL_IF(op, cc)   \
    {                          \
        uint16_t to;           \
        FETCH16(to);           \
        if (COND_##cc) {       \
            CALL(to);          \
            NEXT_TAKEN_CALL(); \
        }                      \
    }                          \
    NEXT(op)
#define EXEC_RST(op, target) \
    CALL(target);            \
    NEXT(op)
#define EXEC_RET(op) \
    RETURN();        \
    NEXT(op)
#define EXEC_RET_IF(op, cc)  \
    if (COND_##cc) {         \
        RETURN();            \
        NEXT_TAKEN_RETURN(); \
    }                        \
    NEXT(op)
#define EXEC_PCHL(op) \
    PC = HL;          \
    CLOSE_SERVICE();  \
    NEXT(op)

// The stack.
#define EXEC_PUSH(op, rp)               \
    SP = static_cast<uint16_t>(SP - 2); \
    WRITE16(SP, rp);                    \
    NEXT(op)
#define EXEC_POP(op, rp)                    \
    {                                       \
        uint16_t v;                         \
        READ16(v, SP);                      \
        SP = static_cast<uint16_t>(SP + 2); \
        rp = v;                             \
    }                                       \
    NEXT(op)
// Bits 1, 3 and 5 of the flags do not exist: they are pushed as 1, 0 and 0.
#define EXEC_PUSH_PSW(op)                                  \
    F = static_cast<uint8_t>((F & 0xD5) | kFlagAlwaysOne); \
    SP = static_cast<uint16_t>(SP - 2);                    \
    WRITE16(SP, PAIR(A, F));                               \
    NEXT(op)
#define EXEC_POP_PSW(op)                                       \
    {                                                          \
        uint16_t v;                                            \
        READ16(v, SP);                                         \
        SP = static_cast<uint16_t>(SP + 2);                    \
        A = HI(v);                                             \
        F = static_cast<uint8_t>((v & 0xD5) | kFlagAlwaysOne); \
    }                                                          \
    NEXT(op)
#define EXEC_XTHL(op)    \
    {                    \
        uint16_t v;      \
        READ16(v, SP);   \
        WRITE16(SP, HL); \
        HL = v;          \
    }                    \
    NEXT(op)
#define EXEC_SPHL(op) \
    SP = HL;          \
    NEXT(op)

// Ports and the interrupt flip-flop reach outside the processor: the careful end, unless the
// port's device said the access changes nothing beyond itself. One that only reads what a
// listener keeps in time has had the pending ticks handed over, and leaves the listeners'
// deadline where it was: no listener acts sooner for it.
#define PORT_ACCESS(op, access)                           \
    {                                                     \
        uint8_t port, reach;                              \
        FETCH8(port);                                     \
        access(port, reach);                              \
        if ((reach & ~kReachListenerTime) == 0) NEXT(op); \
    }                                                     \
    NEXT_SLOW(op)
#define EXEC_OUT(op) PORT_ACCESS(op, PORT_OUT)
#define EXEC_IN(op) PORT_ACCESS(op, PORT_IN)
#define EXEC_DI(op)                     \
    Inte = EiPending = EiArmed = false; \
    TELL_CONTROLLER_INTE(false);        \
    NEXT_SLOW(op)
#define EXEC_EI(op)   \
    EiPending = true; \
    EiArmed = false;  \
    NEXT_SLOW(op)

// A halted processor that nobody needs to hear of each idle tick: the re-executions up to the
// nearer of the budget and the listeners' deadline happen at once. Each would have fetched the
// HLT again and left the history as it is.
#define EXEC_HLT(op)                                  \
    {                                                 \
        HALT();                                       \
        if (LastTicks != 1 || slowEnd) goto end_slow; \
        int32_t idle = limit - periodTicks;           \
        if (idle > 1) {                               \
            count += static_cast<uint32_t>(idle - 1); \
            PrevPC = curPC;                           \
            periodTicks += idle - 1;                  \
        }                                             \
        NEXT_WITH(1);                                 \
    }

#pragma once

// Every 8080 opcode in order, one line each: the instruction family and its operands. The
// executor expands each family into one handler per opcode (ChipCpu8080Instructions.h); the
// order is the opcode, which the executor checks at compile time.
//
// Operands: B C D E H L A the registers, M the byte at HL, IMM the byte after the opcode; BC DE
// HL SP the register pairs; NZ Z NC C PO PE P M the conditions; ROTATE names its function in
// Cpu8080Alu.h and RST its target. The twelve opcodes Intel never documented decode as the
// instruction they duplicate: the processor only looks at some of their bits.
//
// Use: CPU8080_OPCODES(X) with X(code, family, operands...).

// clang-format off
#define CPU8080_OPCODES(OP) \
    OP(0x00, NOP) \
    OP(0x01, LXI, BC) \
    OP(0x02, STAX, BC) \
    OP(0x03, INX, BC) \
    OP(0x04, INR, B) \
    OP(0x05, DCR, B) \
    OP(0x06, MVI, B) \
    OP(0x07, ROTATE, Rlc) \
    OP(0x08, NOP)                /* undocumented */ \
    OP(0x09, DAD, BC) \
    OP(0x0A, LDAX, BC) \
    OP(0x0B, DCX, BC) \
    OP(0x0C, INR, C) \
    OP(0x0D, DCR, C) \
    OP(0x0E, MVI, C) \
    OP(0x0F, ROTATE, Rrc) \
    OP(0x10, NOP)                /* undocumented */ \
    OP(0x11, LXI, DE) \
    OP(0x12, STAX, DE) \
    OP(0x13, INX, DE) \
    OP(0x14, INR, D) \
    OP(0x15, DCR, D) \
    OP(0x16, MVI, D) \
    OP(0x17, ROTATE, Ral) \
    OP(0x18, NOP)                /* undocumented */ \
    OP(0x19, DAD, DE) \
    OP(0x1A, LDAX, DE) \
    OP(0x1B, DCX, DE) \
    OP(0x1C, INR, E) \
    OP(0x1D, DCR, E) \
    OP(0x1E, MVI, E) \
    OP(0x1F, ROTATE, Rar) \
    OP(0x20, NOP)                /* undocumented */ \
    OP(0x21, LXI, HL) \
    OP(0x22, SHLD) \
    OP(0x23, INX, HL) \
    OP(0x24, INR, H) \
    OP(0x25, DCR, H) \
    OP(0x26, MVI, H) \
    OP(0x27, DAA) \
    OP(0x28, NOP)                /* undocumented */ \
    OP(0x29, DAD, HL) \
    OP(0x2A, LHLD) \
    OP(0x2B, DCX, HL) \
    OP(0x2C, INR, L) \
    OP(0x2D, DCR, L) \
    OP(0x2E, MVI, L) \
    OP(0x2F, CMA) \
    OP(0x30, NOP)                /* undocumented */ \
    OP(0x31, LXI, SP) \
    OP(0x32, STA) \
    OP(0x33, INX, SP) \
    OP(0x34, INR, M) \
    OP(0x35, DCR, M) \
    OP(0x36, MVI, M) \
    OP(0x37, STC) \
    OP(0x38, NOP)                /* undocumented */ \
    OP(0x39, DAD, SP) \
    OP(0x3A, LDA) \
    OP(0x3B, DCX, SP) \
    OP(0x3C, INR, A) \
    OP(0x3D, DCR, A) \
    OP(0x3E, MVI, A) \
    OP(0x3F, CMC) \
    OP(0x40, MOV, B, B) \
    OP(0x41, MOV, B, C) \
    OP(0x42, MOV, B, D) \
    OP(0x43, MOV, B, E) \
    OP(0x44, MOV, B, H) \
    OP(0x45, MOV, B, L) \
    OP(0x46, MOV, B, M) \
    OP(0x47, MOV, B, A) \
    OP(0x48, MOV, C, B) \
    OP(0x49, MOV, C, C) \
    OP(0x4A, MOV, C, D) \
    OP(0x4B, MOV, C, E) \
    OP(0x4C, MOV, C, H) \
    OP(0x4D, MOV, C, L) \
    OP(0x4E, MOV, C, M) \
    OP(0x4F, MOV, C, A) \
    OP(0x50, MOV, D, B) \
    OP(0x51, MOV, D, C) \
    OP(0x52, MOV, D, D) \
    OP(0x53, MOV, D, E) \
    OP(0x54, MOV, D, H) \
    OP(0x55, MOV, D, L) \
    OP(0x56, MOV, D, M) \
    OP(0x57, MOV, D, A) \
    OP(0x58, MOV, E, B) \
    OP(0x59, MOV, E, C) \
    OP(0x5A, MOV, E, D) \
    OP(0x5B, MOV, E, E) \
    OP(0x5C, MOV, E, H) \
    OP(0x5D, MOV, E, L) \
    OP(0x5E, MOV, E, M) \
    OP(0x5F, MOV, E, A) \
    OP(0x60, MOV, H, B) \
    OP(0x61, MOV, H, C) \
    OP(0x62, MOV, H, D) \
    OP(0x63, MOV, H, E) \
    OP(0x64, MOV, H, H) \
    OP(0x65, MOV, H, L) \
    OP(0x66, MOV, H, M) \
    OP(0x67, MOV, H, A) \
    OP(0x68, MOV, L, B) \
    OP(0x69, MOV, L, C) \
    OP(0x6A, MOV, L, D) \
    OP(0x6B, MOV, L, E) \
    OP(0x6C, MOV, L, H) \
    OP(0x6D, MOV, L, L) \
    OP(0x6E, MOV, L, M) \
    OP(0x6F, MOV, L, A) \
    OP(0x70, MOV, M, B) \
    OP(0x71, MOV, M, C) \
    OP(0x72, MOV, M, D) \
    OP(0x73, MOV, M, E) \
    OP(0x74, MOV, M, H) \
    OP(0x75, MOV, M, L) \
    OP(0x76, HLT) \
    OP(0x77, MOV, M, A) \
    OP(0x78, MOV, A, B) \
    OP(0x79, MOV, A, C) \
    OP(0x7A, MOV, A, D) \
    OP(0x7B, MOV, A, E) \
    OP(0x7C, MOV, A, H) \
    OP(0x7D, MOV, A, L) \
    OP(0x7E, MOV, A, M) \
    OP(0x7F, MOV, A, A) \
    OP(0x80, ADD, B) \
    OP(0x81, ADD, C) \
    OP(0x82, ADD, D) \
    OP(0x83, ADD, E) \
    OP(0x84, ADD, H) \
    OP(0x85, ADD, L) \
    OP(0x86, ADD, M) \
    OP(0x87, ADD, A) \
    OP(0x88, ADC, B) \
    OP(0x89, ADC, C) \
    OP(0x8A, ADC, D) \
    OP(0x8B, ADC, E) \
    OP(0x8C, ADC, H) \
    OP(0x8D, ADC, L) \
    OP(0x8E, ADC, M) \
    OP(0x8F, ADC, A) \
    OP(0x90, SUB, B) \
    OP(0x91, SUB, C) \
    OP(0x92, SUB, D) \
    OP(0x93, SUB, E) \
    OP(0x94, SUB, H) \
    OP(0x95, SUB, L) \
    OP(0x96, SUB, M) \
    OP(0x97, SUB, A) \
    OP(0x98, SBB, B) \
    OP(0x99, SBB, C) \
    OP(0x9A, SBB, D) \
    OP(0x9B, SBB, E) \
    OP(0x9C, SBB, H) \
    OP(0x9D, SBB, L) \
    OP(0x9E, SBB, M) \
    OP(0x9F, SBB, A) \
    OP(0xA0, ANA, B) \
    OP(0xA1, ANA, C) \
    OP(0xA2, ANA, D) \
    OP(0xA3, ANA, E) \
    OP(0xA4, ANA, H) \
    OP(0xA5, ANA, L) \
    OP(0xA6, ANA, M) \
    OP(0xA7, ANA, A) \
    OP(0xA8, XRA, B) \
    OP(0xA9, XRA, C) \
    OP(0xAA, XRA, D) \
    OP(0xAB, XRA, E) \
    OP(0xAC, XRA, H) \
    OP(0xAD, XRA, L) \
    OP(0xAE, XRA, M) \
    OP(0xAF, XRA, A) \
    OP(0xB0, ORA, B) \
    OP(0xB1, ORA, C) \
    OP(0xB2, ORA, D) \
    OP(0xB3, ORA, E) \
    OP(0xB4, ORA, H) \
    OP(0xB5, ORA, L) \
    OP(0xB6, ORA, M) \
    OP(0xB7, ORA, A) \
    OP(0xB8, CMP, B) \
    OP(0xB9, CMP, C) \
    OP(0xBA, CMP, D) \
    OP(0xBB, CMP, E) \
    OP(0xBC, CMP, H) \
    OP(0xBD, CMP, L) \
    OP(0xBE, CMP, M) \
    OP(0xBF, CMP, A) \
    OP(0xC0, RET_IF, NZ) \
    OP(0xC1, POP, BC) \
    OP(0xC2, JMP_IF, NZ) \
    OP(0xC3, JMP) \
    OP(0xC4, CALL_IF, NZ) \
    OP(0xC5, PUSH, BC) \
    OP(0xC6, ADD, IMM) \
    OP(0xC7, RST, 0x00) \
    OP(0xC8, RET_IF, Z) \
    OP(0xC9, RET) \
    OP(0xCA, JMP_IF, Z) \
    OP(0xCB, JMP)                /* undocumented */ \
    OP(0xCC, CALL_IF, Z) \
    OP(0xCD, CALL) \
    OP(0xCE, ADC, IMM) \
    OP(0xCF, RST, 0x08) \
    OP(0xD0, RET_IF, NC) \
    OP(0xD1, POP, DE) \
    OP(0xD2, JMP_IF, NC) \
    OP(0xD3, OUT) \
    OP(0xD4, CALL_IF, NC) \
    OP(0xD5, PUSH, DE) \
    OP(0xD6, SUB, IMM) \
    OP(0xD7, RST, 0x10) \
    OP(0xD8, RET_IF, C) \
    OP(0xD9, RET)                /* undocumented */ \
    OP(0xDA, JMP_IF, C) \
    OP(0xDB, IN) \
    OP(0xDC, CALL_IF, C) \
    OP(0xDD, CALL)               /* undocumented */ \
    OP(0xDE, SBB, IMM) \
    OP(0xDF, RST, 0x18) \
    OP(0xE0, RET_IF, PO) \
    OP(0xE1, POP, HL) \
    OP(0xE2, JMP_IF, PO) \
    OP(0xE3, XTHL) \
    OP(0xE4, CALL_IF, PO) \
    OP(0xE5, PUSH, HL) \
    OP(0xE6, ANA, IMM) \
    OP(0xE7, RST, 0x20) \
    OP(0xE8, RET_IF, PE) \
    OP(0xE9, PCHL) \
    OP(0xEA, JMP_IF, PE) \
    OP(0xEB, XCHG) \
    OP(0xEC, CALL_IF, PE) \
    OP(0xED, CALL)               /* undocumented */ \
    OP(0xEE, XRA, IMM) \
    OP(0xEF, RST, 0x28) \
    OP(0xF0, RET_IF, P) \
    OP(0xF1, POP_PSW) \
    OP(0xF2, JMP_IF, P) \
    OP(0xF3, DI) \
    OP(0xF4, CALL_IF, P) \
    OP(0xF5, PUSH_PSW) \
    OP(0xF6, ORA, IMM) \
    OP(0xF7, RST, 0x30) \
    OP(0xF8, RET_IF, M) \
    OP(0xF9, SPHL) \
    OP(0xFA, JMP_IF, M) \
    OP(0xFB, EI) \
    OP(0xFC, CALL_IF, M) \
    OP(0xFD, CALL)               /* undocumented */ \
    OP(0xFE, CMP, IMM) \
    OP(0xFF, RST, 0x38)
// clang-format on

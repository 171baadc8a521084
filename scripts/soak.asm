; The soak program: a ROM image of its own that keeps every part of the machine busy for as
; long as it runs, and keeps count of what it did where a memory dump at the end reads it.
;
;   - the timers, chained (counter 0 divides the 2 MHz clock by 2000, counter 1 that by 20),
;     interrupt 50 times a second on line 6 (RST 1); each interrupt counts and flips the
;     speaker between level 0 and level 15, so the speaker plays 25 Hz whose edges are 20 ms
;     of machine time apart, a clock anybody recording the sound can read
;   - the Muse plays a tone on the left, its note changed once a second
;   - the serial line sends a count to the cassette recorder whenever it can take a byte, at
;     the bit rate counter 2 makes (2 MHz / 104, about 2400 bytes a second)
;   - the speaker's level is also the keyboard column, so while the level is 0 the program
;     reads column 0 and counts presses of P (row 5)
;
; Counters (little-endian):
;   8000H  interrupts (32 bits)        8004H  presses of P (16 bits)
;   8006H  bytes sent (32 bits)        800AH  main loop rounds (32 bits)
;   800EH  55AAH once the program runs
;
; Assembled by scripts/soak.sh: tevrin-asm soak.asm -o soak.rom --size 16384 --fill 0FFH

SYSPB   EQU     0C1H
SYSPC   EQU     0C2H
SYSCTL  EQU     0C3H
GPIOA   EQU     0C4H
GPIOC   EQU     0C6H
GPIOCTL EQU     0C7H
USDATA  EQU     0C8H
USCTL   EQU     0C9H
TIMER0  EQU     0D0H
TIMER1  EQU     0D1H
TIMER2  EQU     0D2H
TIMCTL  EQU     0D3H
ICU     EQU     0D4H
PAGING  EQU     0D8H
PAGEREG EQU     0E0H

IRQS    EQU     8000H
PRESSES EQU     8004H
SENT    EQU     8006H
ROUNDS  EQU     800AH
ALIVE   EQU     800EH
PORTC   EQU     8010H           ; what port C holds: speaker level and column, PC6
KPREV   EQU     8011H           ; row 5 of column 0 at the last look (20H: up)
MUSET   EQU     8012H           ; interrupts until the next note
NOTE    EQU     8013H
STACK   EQU     8100H

        ORG     0F000H
RESET:  JMP     COLD            ; after a reset every address reads this page
COLD:   DI                      ; no RAM until paging is on: no stack, no CALL
        MVI     A,0E0H
        OUT     PAGEREG+0
        MVI     A,0E1H
        OUT     PAGEREG+1
        MVI     A,0E2H
        OUT     PAGEREG+2
        MVI     A,0E3H
        OUT     PAGEREG+3
        MVI     A,0E4H
        OUT     PAGEREG+4
        MVI     A,0E5H
        OUT     PAGEREG+5
        MVI     A,0E8H
        OUT     PAGEREG+6
        MVI     A,0E9H
        OUT     PAGEREG+7
        MVI     A,0ECH
        OUT     PAGEREG+8
        MVI     A,0EDH
        OUT     PAGEREG+9
        MVI     A,0EAH
        OUT     PAGEREG+10
        MVI     A,0EBH
        OUT     PAGEREG+11
        MVI     A,0FCH
        OUT     PAGEREG+12
        MVI     A,0FDH
        OUT     PAGEREG+13
        MVI     A,0FEH
        OUT     PAGEREG+14
        MVI     A,0FFH
        OUT     PAGEREG+15
        IN      PAGING          ; RAM without the video planes below, the green plane at
        JMP     INIT            ; A000H, this ROM on top

        ORG     0C000H
INIT:   LXI     SP,STACK
        LXI     H,IRQS          ; the counters start at zero
        MVI     B,20H
        XRA     A
IN1:    MOV     M,A
        INX     H
        DCR     B
        JNZ     IN1
        MVI     A,20H
        STA     KPREV
        MVI     A,50
        STA     MUSET
        MVI     A,0BH
        STA     NOTE
        MVI     A,0C3H          ; RST 1: the interrupt routine
        STA     0008H
        LXI     H,TICK
        SHLD    0009H
        MVI     A,82H           ; system 8255: A out, B in, C out
        OUT     SYSCTL
        MVI     A,40H           ; column 0, level 0, speaker on, PC6 high: line 6 may request
        STA     PORTC
        OUT     SYSPC
        CALL    MUSE
        XRA     A               ; the 8251 to a known state, then the tape's mode and command
        OUT     USCTL
        OUT     USCTL
        OUT     USCTL
        MVI     A,40H
        OUT     USCTL
        MVI     A,8CH           ; synchronous, 8 bits, one sync character
        OUT     USCTL
        MVI     A,0AAH
        OUT     USCTL
        MVI     A,33H           ; TxEN, DTR, RTS: line 0, the recorder
        OUT     USCTL
        MVI     A,0B6H          ; counter 2, the serial clock: 2 MHz / 104
        OUT     TIMCTL
        MVI     A,104
        OUT     TIMER2
        XRA     A
        OUT     TIMER2
        MVI     A,36H           ; counter 0: 2 MHz / 2000
        OUT     TIMCTL
        MVI     A,LOW 2000
        OUT     TIMER0
        MVI     A,HIGH 2000
        OUT     TIMER0
        MVI     A,76H           ; counter 1: / 20
        OUT     TIMCTL
        MVI     A,20
        OUT     TIMER1
        XRA     A
        OUT     TIMER1
        MVI     A,07H           ; arms the 3214
        OUT     ICU
        LXI     H,55AAH
        SHLD    ALIVE
        EI

LOOP:   LHLD    ROUNDS
        INX     H
        SHLD    ROUNDS
        MOV     A,H
        ORA     L
        JNZ     LP1
        LHLD    ROUNDS+2
        INX     H
        SHLD    ROUNDS+2
LP1:    DI                      ; the column must not change between the look and the read
        LDA     PORTC
        ANI     0FH
        JNZ     LP3
        IN      SYSPB
        EI
        ANI     20H             ; row 5, low while P is down
        LXI     H,KPREV
        CMP     M
        JZ      LP4
        MOV     M,A
        ORA     A
        JNZ     LP4             ; released
        LHLD    PRESSES
        INX     H
        SHLD    PRESSES
        JMP     LP4
LP3:    EI
LP4:    IN      USCTL
        ANI     01H             ; the transmitter takes a byte
        JZ      LOOP
        LHLD    SENT
        INX     H
        SHLD    SENT
        MOV     A,L
        OUT     USDATA
        MOV     A,H
        ORA     L
        JNZ     LOOP
        LHLD    SENT+2
        INX     H
        SHLD    SENT+2
        JMP     LOOP

; The interrupt: counts, flips the speaker's level (and so the column), changes the Muse's note
; once a second, acknowledges line 6 and arms the 3214 again.
TICK:   PUSH    PSW
        PUSH    H
        LHLD    IRQS
        INX     H
        SHLD    IRQS
        MOV     A,H
        ORA     L
        JNZ     TK1
        LHLD    IRQS+2
        INX     H
        SHLD    IRQS+2
TK1:    LDA     PORTC
        XRI     0FH
        STA     PORTC
        OUT     SYSPC
        LXI     H,MUSET
        DCR     M
        JNZ     TK2
        MVI     M,50
        LDA     NOTE
        XRI     6BH             ; between notes 0BH and 60H
        STA     NOTE
        MOV     H,A
        MVI     L,08H           ; tone 0's note
        CALL    SAAW
TK2:    MVI     A,0CH           ; PC6 low and high again: line 6 acknowledged
        OUT     SYSCTL
        MVI     A,0DH
        OUT     SYSCTL
        MVI     A,07H
        OUT     ICU
        POP     H
        POP     PSW
        EI
        RET

; The Muse's SAA1099: amplitude of tone 0 left only, a note, octave 5, tone 0 on, sound on.
MUSE:   MVI     A,80H           ; the GPIO all outputs, which resets the chip
        OUT     GPIOCTL
        LXI     H,0F00H
        CALL    SAAW
        LXI     H,0B08H
        CALL    SAAW
        LXI     H,0510H
        CALL    SAAW
        LXI     H,0114H
        CALL    SAAW
        LXI     H,011CH
        JMP     SAAW

; SAAW: register L of the SAA1099 gets H. The data bus is port A inverted, port C strobes the
; address (0BH) and the data (0FH), 02H ends the strobe. Changes A.
SAAW:   MOV     A,L
        CMA
        OUT     GPIOA
        MVI     A,0BH
        OUT     GPIOC
        MVI     A,02H
        OUT     GPIOC
        MOV     A,H
        CMA
        OUT     GPIOA
        MVI     A,0FH
        OUT     GPIOC
        MVI     A,02H
        OUT     GPIOC
        RET

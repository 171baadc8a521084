; ============================================================================================
; TEVRIN MONITOR 1.0 - the built-in monitor ROM of the Tevrin
;
; A small monitor for the machine as it comes: it maps the memory, sets up the system 8255 and
; the timer, clears the screen and greets the user with a banner, a prompt and a beep, then
; reads command lines from the keyboard matrix and answers them on the screen with its own
; 8 x 8 font. Numbers are hexadecimal; commands may be typed in upper or lower case:
;
;   HELP               the list of commands
;   D [ADDR [LEN]]     dump LEN bytes (default 40H) from ADDR; D alone goes on where the last
;                      dump stopped; Esc stops a long dump
;   E ADDR BB BB ...   enter bytes from ADDR on
;   F ADDR LEN BB      fill LEN bytes from ADDR with BB
;   G ADDR             call the program at ADDR; its RET (or a jump to 0000H) comes back here
;   C N                text colour N (1-7: bit 0 red, bit 1 green, bit 2 blue)
;   B FREQ MS          a tone of FREQ Hz (14H-0FA0H) for MS milliseconds (1-2710H)
;   T                  counts the timer interrupts of one second: counter 0 -> counter 1 ->
;                      interrupt line 6 -> RST 1, fifty per second when the machine chains
;                      counters 0 and 1 (the chain-timer01 option), none when it does not
;   SAVE ADDR LEN      writes LEN bytes from ADDR to tape as one data record (MONIT, number 1)
;   LOAD ADDR          reads the next data record from tape into memory from ADDR; Esc stops it
;   DIR                the SD-ROM module's current folder: sizes (or <DIR>) and names
;   CD NAME            into a folder of it (.. goes up); shows the folder it is then in
;   LOADSD NAME ADDR   a file from it into RAM at ADDR (it must end by 9FFFH)
;   SAVESD NAME ADDR LEN  LEN bytes from ADDR into a file of that name
;
; Assembled with tevrin-asm into a 16 KB image (pages FC-FF of the internal ROM):
;   tevrin-asm tevrin.asm -o tevrin.rom --size 16384 --fill 0FFH
;
; Memory map once the monitor runs (processor windows of 4 KB -> physical pages):
;   0000-9FFF  RAM      windows 0-9 -> pages E0 E1 E2 E3 E4 E5 E8 E9 EC ED, the RAM pages that
;                       hold no video plane: 40 KB in one piece
;     0000-000A         RST 0 (JMP to the monitor's warm start) and RST 1 (the T command's
;                       interrupt routine); programs may take the other restart vectors
;     0100-99FF         free for programs
;     9A00-9A8F         scratch of one command: a tape block (SAVE, LOAD) or the SD-ROM
;                       commands' reply buffer and variables; nothing lives there between
;                       commands
;     9A90-9AFF         the monitor's stack (it starts at 9B00H and grows down)
;     9B00-9B7F         the monitor's variables
;     9B80-9BFF         the line being typed
;     9C00-9FFF         TEXT: what the screen shows, 32 rows of 32 characters, row by row from
;                       the top, blanks as 20H
;   A000-BFFF  VIDEO    windows A-B -> pages EA-EB, the green plane; the monitor keeps the
;                       screen in colour-write mode, so each write reaches all three planes
;   C000-FFFF  ROM      windows C-F -> pages FC-FF, this image; the processor starts at
;                       page FF offset 0 (F000H here); C000H holds entry points for programs
;
; The screen: 256 x 256 pixels, 32 bytes a pixel row, bit 7 leftmost. A character cell is 8
; pixel rows of one byte, so the cell of text row R, column C starts at
; VIDEO + ((TOPROW + R) AND 31) * 256 + C and its rows lie 32 bytes apart. Scrolling moves
; the picture with the scroll register (8255 port A) instead of moving 24 KB of planes.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; Ports
; --------------------------------------------------------------------------------------------
SYSPA   EQU     0C0H            ; system 8255 port A: the scroll register (top video row)
SYSPB   EQU     0C1H            ; port B: the keyboard rows of the selected column, low =
                                ; pressed; bit 6 /Ctrl, bit 7 /Shift
SYSPC   EQU     0C2H            ; port C: bits 0-3 keyboard column and speaker level, bit 4
                                ; mutes the speaker, bit 5 and bit 6 gate interrupt lines
SYSCTL  EQU     0C3H            ; control word, and port C bit set/reset
COLREG  EQU     0CCH            ; screen colour register: bit 3 colour-write, bits 0-2 colour
TIMER0  EQU     0D0H            ; 8253 counter 0
TIMER1  EQU     0D1H            ; 8253 counter 1
TIMER2  EQU     0D2H            ; 8253 counter 2, clocked by every processor tick (2 MHz)
TIMCTL  EQU     0D3H            ; 8253 control word
ICU     EQU     0D4H            ; 3214 interrupt unit: status and source enables
PAGING  EQU     0D8H            ; any access switches paging on
PAGEREG EQU     0E0H            ; E0-EF: page register of each 4 KB window; reads return the
                                ; complement of the register while paging is on

; Values written to them
PIOMODE EQU     82H             ; 8255 mode 0: port A out, port B in, port C out
MUTE    EQU     10H             ; port C with the speaker muted (PC4) and column 0 selected
PC6OFF  EQU     0CH             ; bit set/reset: PC6 low (acknowledges interrupt line 6)
PC6ON   EQU     0DH             ; bit set/reset: PC6 high (lets line 6 request)
PC6BIT  EQU     40H             ; PC6 in a port C byte
T2MODE  EQU     0B4H            ; counter 2: LSB then MSB, mode 2 (rate generator), binary
T2LATCH EQU     80H             ; counter 2 latch command
T0MODE  EQU     36H             ; counter 0: LSB then MSB, mode 3 (square wave), binary
T1MODE  EQU     76H             ; counter 1: LSB then MSB, mode 3 (square wave), binary
ICUSTAT EQU     07H             ; 3214: current status 0 (levels 1-7 interrupt), SGS off, the
                                ; four serial and spare sources disabled
CWMODE  EQU     08H             ; colour register: colour-write mode
JMPOP   EQU     0C3H            ; the JMP opcode, for the restart vectors

; The 8251 on the tape line. The tape device makes the receiver's clock itself; the transmitter
; runs on counter 2, which the monitor leaves as its clock: the leader and the bytes before the
; first block leave slowly, and from then on the recorder takes every byte as it is written.
USDATA  EQU     0C8H            ; 8251 data
USCTL   EQU     0C9H            ; 8251 mode, sync characters and command; status
USRESET EQU     40H             ; command: internal reset, a mode instruction follows
USTXMODE EQU    8CH             ; mode: synchronous, 8 bits, no parity, one sync character
USRXMODE EQU    0CH             ; mode: synchronous, 8 bits, no parity, two sync characters
USTXCMD EQU     33H             ; command: TxEN, DTR, RTS (DTR and RTS select line 0, the tape),
                                ; error reset
USRXCMD EQU     0B6H            ; command: enter hunt, RxE, DTR, RTS, error reset
USTXRDY EQU     01H             ; status: the transmit buffer is free
USRXRDY EQU     02H             ; status: a received byte waits

; The tape's format: a leader of 3FH, the sync bytes AAH 55H before every block; a block is
; number (two bytes, counting down to 0), record number (bit 7 on the first block), file type,
; 128 bytes of payload and a checksum (0FFH XOR the sum of the 132 bytes before it).
FILLB   EQU     3FH
SYNC1   EQU     0AAH
SYNC2   EQU     55H
BLKLEN  EQU     133
RECNUM  EQU     01H
FTMONIT EQU     08H
LOADWAIT EQU    2000            ; ms without the next block that end a record's reading

; --------------------------------------------------------------------------------------------
; Memory
; --------------------------------------------------------------------------------------------
TEXT    EQU     9C00H           ; the text on the screen, 32 x 32 characters
VIDEO   EQU     0A000H          ; the green plane, seen through windows A and B
STACK   EQU     9B00H           ; top of the monitor's stack
VARS    EQU     9B00H           ; the monitor's variables
LINEBUF EQU     9B80H           ; the line being typed, zero-terminated
LINEMAX EQU     60              ; characters a line may hold
RST0    EQU     0000H           ; restart vectors in RAM
RST1    EQU     0008H

; Variables (bytes)
ROW     EQU     VARS+00H        ; cursor row 0-31
COL     EQU     VARS+01H        ; cursor column 0-31
TOPROW  EQU     VARS+02H        ; the text row shown at the top of the picture (scroll / 8)
FGCOL   EQU     VARS+03H        ; text colour 1-7
PORTC   EQU     VARS+04H        ; what the monitor keeps on port C between key scans
CURVIS  EQU     VARS+05H        ; 1 while the cursor block is drawn
CAPS    EQU     VARS+06H        ; 20H while Caps Lock is on
KMODS   EQU     VARS+07H        ; modifiers at the last scan: bit 7 Shift, bit 6 Ctrl
REPKEY  EQU     VARS+08H        ; key code that auto-repeats while held, 0FFH for none
LINELEN EQU     VARS+09H        ; characters in LINEBUF
TLEVEL  EQU     VARS+0AH        ; speaker level of the tone being played
TOUT    EQU     VARS+0BH        ; port C byte of the tone being played
KROWS   EQU     VARS+0CH        ; port B as last read by the key scan
KQCNT   EQU     VARS+0DH        ; characters waiting in KQBUF
SDBUSY  EQU     VARS+0EH        ; 1 while the SD-ROM module has counter 2 (SDINIT to HWINIT)
; Variables (words)
T2LAST  EQU     VARS+10H        ; counter 2 at the last look
TICKACC EQU     VARS+12H        ; ticks not yet counted as a millisecond
MSEC    EQU     VARS+14H        ; milliseconds since start (wraps after 65 s)
BLINKT  EQU     VARS+16H        ; when the cursor last changed
SCANT   EQU     VARS+18H        ; when the keyboard was last scanned
REPT    EQU     VARS+1AH        ; when the held key repeats next
IRQCNT  EQU     VARS+1CH        ; timer interrupts counted by the T command
WSTART  EQU     VARS+1EH        ; WAITMS: when the wait began
WLEN    EQU     VARS+20H        ; WAITMS: how long it lasts
DADDR   EQU     VARS+22H        ; where the next D without address starts
EADDR   EQU     VARS+24H        ; E: where the next byte goes
EPTR    EQU     VARS+26H        ; E: the first byte in the line
THALF   EQU     VARS+28H        ; TONE: half a period in ticks
TMS     EQU     VARS+2AH        ; TONE: milliseconds still to play
TACC    EQU     VARS+2CH        ; TONE: ticks played not yet counted as a millisecond
TDUR    EQU     VARS+2EH        ; TONE: the whole length in milliseconds
FLEN    EQU     VARS+30H        ; F: length
FVAL    EQU     VARS+32H        ; F: the byte
TSTART  EQU     VARS+34H        ; T: when the wait for the first interrupt began
TADDR   EQU     VARS+36H        ; SAVE, LOAD: where the next block's payload comes from / goes
TLEFT   EQU     VARS+38H        ; SAVE: bytes left from TADDR on
TBLK    EQU     VARS+3AH        ; SAVE: the block being sent; LOAD: the last block stored
TBEG    EQU     VARS+3CH        ; SAVE, LOAD: the first address
TWAIT   EQU     VARS+70H        ; LOAD: when the wait for the block began
TEND    EQU     VARS+72H        ; SAVE: the last address
; Variables (bytes, continued)
TSUM    EQU     VARS+74H        ; the checksum being built
TFIRST  EQU     VARS+75H        ; SAVE: 80H while the first block is sent
TSTATE  EQU     VARS+76H        ; LOAD: 1 once the record's first block is in
TBAD    EQU     VARS+77H        ; LOAD: 1 when a damaged copy came after the last good block
TLIMIT  EQU     VARS+78H        ; LOAD: 1 while a wait for the next block may time out
TREC    EQU     VARS+79H        ; LOAD: the record's number
CHKRD   EQU     VARS+7AH        ; CHKR/CHKW: 1 while checking for readable memory
KPREV   EQU     VARS+40H        ; 16 bytes: the keys down in each column at the last scan
KQBUF   EQU     VARS+50H        ; KQSIZE bytes: characters typed and not yet read, oldest first
KQSIZE  EQU     32
BLKBUF  EQU     9A00H           ; SAVE, LOAD: one tape block

; Timing, in milliseconds (the clock below counts them from counter 2)
BLINKMS EQU     300             ; the cursor changes this often
SCANMS  EQU     4               ; the keyboard is scanned this often
REPDLY  EQU     500             ; a held key starts repeating after this
REPRATE EQU     50              ; then repeats this often
TICKSMS EQU     2000            ; processor ticks in a millisecond

; Colours
RED     EQU     1
YELLOW  EQU     3
WHITE   EQU     7

; Key codes (column * 8 + row) and characters that mean something to the line editor
NOKEY   EQU     0FFH
CAPSKEY EQU     01H             ; the character the key table gives Caps Lock
BS      EQU     08H
CR      EQU     0DH
ESC     EQU     1BH
ESCROW  EQU     02H             ; Esc is row 1 of column 0

; ============================================================================================
; Reset entry - page FF offset 0
;
; After a reset paging is off and every address reads page FF, so the processor starts here
; whatever the address, and every write faults: there is no RAM yet, hence no stack, no CALL
; and no variables until paging is on. The page registers come out of reset at 0FFH, so window
; F already holds this page and execution carries on through the switch.
; ============================================================================================
        ORG     0F000H
RESET:  JMP     COLD            ; runs at 0000H, a mirror of F000H; go to the real address

COLD:   DI
        MVI     A,0E0H          ; 0000-5FFF: RAM pages E0-E5
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
        MVI     A,0E8H          ; 6000-7FFF: E8-E9 (E6-E7 are the red plane)
        OUT     PAGEREG+6
        MVI     A,0E9H
        OUT     PAGEREG+7
        MVI     A,0ECH          ; 8000-9FFF: EC-ED (EE-EF are the blue plane)
        OUT     PAGEREG+8
        MVI     A,0EDH
        OUT     PAGEREG+9
        MVI     A,0EAH          ; A000-BFFF: the green plane
        OUT     PAGEREG+10
        MVI     A,0EBH
        OUT     PAGEREG+11
        MVI     A,0FCH          ; C000-FFFF: this ROM
        OUT     PAGEREG+12
        MVI     A,0FDH
        OUT     PAGEREG+13
        MVI     A,0FEH
        OUT     PAGEREG+14
        MVI     A,0FFH
        OUT     PAGEREG+15
        IN      PAGING          ; paging on (with the multiplier fitted it does the same)
        JMP     INIT

; ============================================================================================
; Start-up and the command loop
; ============================================================================================
        ORG     0C000H

; --------------------------------------------------------------------------------------------
; Entry points for programs, at addresses that stay put whatever the rest of the ROM becomes.
;   C000H  WARMST  back to the monitor's prompt (as JMP 0000H)
;   C003H  OUTCH   show character A at the cursor (CR: new row); keeps all registers
;   C006H  INCH    wait for a typed character -> A; changes B, C, D, E, H, L
;   C009H  OUTSTR  show the zero-terminated text at HL; HL ends past the zero; changes A
;   C00CH  OUTHEX  show HL as four hexadecimal digits; changes A
;   C00FH  BEEP    HL = half a period in ticks (1000000 / Hz), DE = milliseconds, C = level
;                  1-15; changes A, B, C, D, E, H, L
; --------------------------------------------------------------------------------------------
WARMST: JMP     WARM
OUTCH:  JMP     PUTCH
INCH:   JMP     GETKEY
OUTSTR: JMP     PUTS
OUTHEX: JMP     PHEX4
BEEP:   JMP     TONE

; --------------------------------------------------------------------------------------------
; INIT: cold start, once the memory is mapped. Clears the variables, sets up the chips, puts
; the restart vectors into RAM, clears the screen, shows the banner and beeps.
; --------------------------------------------------------------------------------------------
INIT:   LXI     SP,STACK
        LXI     H,VARS          ; every variable starts at 0
        MVI     B,128
        XRA     A
IN1:    MOV     M,A
        INX     H
        DCR     B
        JNZ     IN1
        MVI     A,MUTE
        STA     PORTC
        MVI     A,NOKEY
        STA     REPKEY
        MVI     A,WHITE
        STA     FGCOL
        CALL    HWINIT
        MVI     A,JMPOP         ; RST 0: back to the monitor
        STA     RST0
        LXI     H,WARM
        SHLD    RST0+1
        STA     RST1            ; RST 1: the T command's timer interrupt
        LXI     H,TISR
        SHLD    RST1+1
        CALL    CLS
        MVI     A,YELLOW
        STA     FGCOL
        LXI     H,BANNER
        CALL    PUTS
        MVI     A,WHITE
        STA     FGCOL
        LXI     H,WELCOME
        CALL    PUTS
        LXI     H,1000          ; the start-up beep: 1 kHz (half a period is 1000 ticks) ...
        LXI     D,100           ; ... for 100 ms
        MVI     C,0FH
        CALL    TONE
        JMP     MAIN

; --------------------------------------------------------------------------------------------
; WARM: re-entry from a program (JMP 0000H or RST 0). Keeps the screen and the text, puts the
; chips back the way the monitor uses them and shows the prompt.
; --------------------------------------------------------------------------------------------
WARM:   DI
        LXI     SP,STACK
        MVI     A,MUTE
        STA     PORTC
        CALL    HWINIT

; --------------------------------------------------------------------------------------------
; MAIN: the command loop: prompt, one line, its command, again.
; --------------------------------------------------------------------------------------------
MAIN:   LXI     SP,STACK
        LDA     COL
        ORA     A
        CNZ     NEWLINE
        LXI     H,PROMPT
        CALL    PUTS
        CALL    GETLINE
        CALL    EXEC
        JMP     MAIN

; --------------------------------------------------------------------------------------------
; HWINIT: programs the chips the monitor relies on. Used at start, on re-entry and after a
; program run with G, which may have changed any of them.
;   system 8255: port A out (scroll register), port B in (keyboard rows), port C out (column,
;                speaker, interrupt gates); a mode word clears the outputs, so port A and port C
;                are written again from the monitor's copies
;   8253 counter 2: free-running rate generator with the full count of 65536. Counter 2 is
;                the one counter every machine clocks (2 MHz), so all timing comes from it.
; Changes A, H, L.
; --------------------------------------------------------------------------------------------
HWINIT: XRA     A               ; counter 2 is the clock again
        STA     SDBUSY
        MVI     A,PIOMODE
        OUT     SYSCTL
        LDA     TOPROW
        RLC
        RLC
        RLC
        OUT     SYSPA
        LDA     PORTC
        OUT     SYSPC
        MVI     A,T2MODE
        OUT     TIMCTL
        XRA     A
        OUT     TIMER2
        OUT     TIMER2
        CALL    RDT2            ; the count is loaded one tick after it is written; by now
        SHLD    T2LAST          ; it runs
        RET

; ============================================================================================
; Time
;
; Counter 2 counts the processor ticks down from 65535 to 0 and starts again, one count per
; tick (2 MHz): the difference of two latched reads is the time between them, as long as
; they are less than 32 ms apart. UPDCLK adds that up into milliseconds in MSEC; everything
; that waits calls it often enough.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; RDT2: HL = counter 2, latched so that the two bytes belong together. Changes A.
; --------------------------------------------------------------------------------------------
RDT2:   MVI     A,T2LATCH
        OUT     TIMCTL
        IN      TIMER2          ; the latch gives the low byte first
        MOV     L,A
        IN      TIMER2
        MOV     H,A
        RET

; --------------------------------------------------------------------------------------------
; UPDCLK: brings MSEC up to date. Must run at least every 32 ms. Changes A, D, E, H, L.
; --------------------------------------------------------------------------------------------
UPDCLK: CALL    RDT2
        XCHG                    ; DE = count now
        LHLD    T2LAST
        MOV     A,L             ; HL = ticks since the last look (the counter counts down)
        SUB     E
        MOV     L,A
        MOV     A,H
        SBB     D
        MOV     H,A
        XCHG
        SHLD    T2LAST
        LHLD    TICKACC
        DAD     D
        JNC     UC1
        LXI     D,-32*TICKSMS   ; past 65535 ticks: take 32 ms at once (65536 - 64000)
        DAD     D
        PUSH    H
        LHLD    MSEC
        LXI     D,32
        DAD     D
        SHLD    MSEC
        POP     H
UC1:    LXI     D,-TICKSMS
UC2:    DAD     D               ; carry: there was a whole millisecond
        JNC     UC3
        PUSH    H
        LHLD    MSEC
        INX     H
        SHLD    MSEC
        POP     H
        JMP     UC2
UC3:    LXI     D,TICKSMS       ; undo the subtraction that went below zero
        DAD     D
        SHLD    TICKACC
        RET

; --------------------------------------------------------------------------------------------
; SINCE: HL = MSEC - DE, the milliseconds since the time in DE. Changes A.
; --------------------------------------------------------------------------------------------
SINCE:  LHLD    MSEC
        MOV     A,L
        SUB     E
        MOV     L,A
        MOV     A,H
        SBB     D
        MOV     H,A
        RET

; --------------------------------------------------------------------------------------------
; WAITMS: waits HL milliseconds, taking typed keys meanwhile. Changes A, D, E, H, L.
; --------------------------------------------------------------------------------------------
WAITMS: SHLD    WLEN
        CALL    UPDCLK
        LHLD    MSEC
        SHLD    WSTART
WM1:    CALL    KPOLL
        LHLD    WSTART
        XCHG
        CALL    SINCE
        XCHG                    ; DE = waited so far
        LHLD    WLEN
        MOV     A,E
        SUB     L
        MOV     A,D
        SBB     H
        JC      WM1
        RET

; ============================================================================================
; Sound
;
; The speaker takes the 4-bit level on PC0-PC3 while PC4 is low. The same four lines select
; the keyboard column, so the monitor keeps PC4 high (speaker muted) except while it plays a
; tone. Only a change of PC0-PC3 reaches the speaker: a tone ends on level 0 before PC4 goes
; high again. For the same reason the keyboard cannot be scanned while a tone plays: a key
; pressed and released within a long B tone is not seen.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; TONE: a square wave. HL = half a period in ticks (1000000 / Hz; at most 50000, at least
; about 250: the loop needs that long per edge), DE = length in milliseconds (at least 1),
; C = level 1-15. Each edge is timed from counter 2 relative to the previous edge as it
; should have been, so the frequency does not drift with the polling; the clock in MSEC goes
; on from the last edge, so a tone costs the clock nothing either.
; Changes A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
TONE:   SHLD    THALF
        XCHG
        SHLD    TMS
        SHLD    TDUR
        MOV     A,C
        STA     TLEVEL
        LXI     H,0
        SHLD    TACC
        CALL    UPDCLK
        LDA     PORTC           ; speaker on at level 0
        ANI     0E0H
        STA     TOUT
        OUT     SYSPC
        LHLD    T2LAST          ; BC = counter 2 at the last edge (as it should have been);
        MOV     B,H             ; the first is the clock's last reading
        MOV     C,L
        LHLD    THALF
        XCHG                    ; DE = half a period
TN1:    MVI     A,T2LATCH       ; wait until half a period has passed since the last edge
        OUT     TIMCTL
        IN      TIMER2
        MOV     L,A
        IN      TIMER2
        MOV     H,A
        MOV     A,C
        SUB     L
        MOV     L,A
        MOV     A,B
        SBB     H
        MOV     H,A
        MOV     A,L
        SUB     E
        MOV     A,H
        SBB     D
        JC      TN1
        LDA     TLEVEL          ; the edge
        LXI     H,TOUT
        XRA     M
        MOV     M,A
        OUT     SYSPC
        MOV     A,C             ; when it should have come
        SUB     E
        MOV     C,A
        MOV     A,B
        SBB     D
        MOV     B,A
        PUSH    B
        PUSH    D
        LHLD    TACC            ; count the milliseconds played
        DAD     D
        LXI     D,-TICKSMS
TN2:    DAD     D               ; carry: one more whole millisecond
        JNC     TN3
        PUSH    H
        LHLD    TMS
        DCX     H
        SHLD    TMS
        MOV     A,H
        ORA     L
        POP     H
        JNZ     TN2
        SHLD    TACC            ; the ticks played beyond the last whole millisecond
        POP     D
        POP     B
        JMP     TN4
TN3:    LXI     D,TICKSMS       ; undo the subtraction that went below zero
        DAD     D
        SHLD    TACC
        POP     D
        POP     B
        JMP     TN1
TN4:    LDA     TOUT            ; done: level 0, then mute
        ANI     0F0H
        OUT     SYSPC
        LDA     PORTC
        OUT     SYSPC
        LHLD    TDUR            ; the clock: the milliseconds played ...
        XCHG
        LHLD    MSEC
        DAD     D
        SHLD    MSEC
        LHLD    TACC            ; ... the ticks beyond them ...
        XCHG
        LHLD    TICKACC
        DAD     D
        SHLD    TICKACC
        MOV     H,B             ; ... and on from the last edge
        MOV     L,C
        SHLD    T2LAST
        JMP     UPDCLK

; ============================================================================================
; Screen
;
; The monitor draws in colour-write mode (colour register bit 3): a byte written to the green
; plane sets its one bits in every plane whose colour bit is 1 and clears them in the others,
; and leaves the zero bits alone. Writing 0FFH with colour 0 blanks eight pixels; writing a
; glyph row with the text colour then paints it. So one plane mapped is enough to draw in all
; three.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; CLS: blanks the screen and the text buffer, puts the picture back to row 0 and the cursor
; home. Changes A, B, C, H, L.
; --------------------------------------------------------------------------------------------
CLS:    LXI     H,TEXT
        LXI     B,32*32
CL1:    MVI     M,' '
        INX     H
        DCX     B
        MOV     A,B
        ORA     C
        JNZ     CL1
        MVI     A,CWMODE        ; colour 0: writing 0FFH clears all three planes
        OUT     COLREG
        LXI     H,VIDEO
        MVI     B,0FFH
CL2:    MOV     M,B
        INX     H
        MOV     M,B
        INX     H
        MOV     M,B
        INX     H
        MOV     M,B
        INX     H
        MOV     A,H
        CPI     HIGH (VIDEO+2000H)
        JNZ     CL2
        XRA     A
        STA     TOPROW
        STA     ROW
        STA     COL
        OUT     SYSPA
        RET

; --------------------------------------------------------------------------------------------
; TEXTAT: HL = the text buffer cell of the cursor. Changes A, D, E.
; --------------------------------------------------------------------------------------------
TEXTAT: LDA     ROW
        MOV     L,A
        MVI     H,0
        DAD     H
        DAD     H
        DAD     H
        DAD     H
        DAD     H
        LDA     COL
        ORA     L
        MOV     L,A
        LXI     D,TEXT
        DAD     D
        RET

; --------------------------------------------------------------------------------------------
; PLOT: draws character A (20H-7FH; anything else as a blank, since a program may have put
; any byte into the text buffer) in the text colour on black at the cursor; the text buffer
; is not touched. Changes A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
PLOT:   SUI     20H
        CPI     60H
        JC      PT1
        XRA     A
PT1:    MOV     L,A
        MVI     H,0
        DAD     H
        DAD     H
        DAD     H
        LXI     D,FONT
        DAD     D
        XCHG                    ; DE = the eight rows of the glyph
        LDA     TOPROW
        MOV     B,A
        LDA     ROW
        ADD     B
        ANI     31
        ADI     HIGH VIDEO
        MOV     H,A
        LDA     COL
        MOV     L,A             ; HL = the cell's top row; the rows are 32 bytes apart and
                                ; never leave this 256-byte page
        MVI     A,CWMODE        ; blank the cell
        OUT     COLREG
        MVI     C,0FFH
        MVI     B,8
PL1:    MOV     M,C
        MOV     A,L
        ADI     32
        MOV     L,A
        DCR     B
        JNZ     PL1             ; eight steps of 32 bring L back to the column
        LDA     FGCOL           ; paint the glyph
        ORI     CWMODE
        OUT     COLREG
        MVI     B,8
PL2:    LDAX    D
        MOV     M,A
        INX     D
        MOV     A,L
        ADI     32
        MOV     L,A
        DCR     B
        JNZ     PL2
        RET

; --------------------------------------------------------------------------------------------
; PUTCH: shows character A at the cursor and moves the cursor on (to the next row after
; column 31, scrolling after row 31). CR starts a new row; other control codes and 7FH and
; above are ignored. Looks at the keyboard now and then. Keeps all registers.
; --------------------------------------------------------------------------------------------
PUTCH:  PUSH    PSW
        PUSH    B
        PUSH    D
        PUSH    H
        CPI     CR
        JZ      PC2
        CPI     20H
        JC      PC3
        CPI     7FH
        JNC     PC3
        MOV     B,A
        CALL    TEXTAT
        MOV     M,B
        MOV     A,B
        CALL    PLOT
        LDA     COL
        INR     A
        STA     COL
        CPI     32
        JNC     PC2
        ANI     7               ; a row takes long enough to miss a short key press:
        CZ      KPOLL           ; look at the keyboard every eight characters
        JMP     PC3
PC2:    CALL    NEWLINE
PC3:    POP     H
        POP     D
        POP     B
        POP     PSW
        RET

; --------------------------------------------------------------------------------------------
; PUTS: shows the zero-terminated text at HL. Leaves HL after the zero. Changes A.
; --------------------------------------------------------------------------------------------
PUTS:   MOV     A,M
        INX     H
        ORA     A
        RZ
        CALL    PUTCH
        JMP     PUTS

; --------------------------------------------------------------------------------------------
; NEWLINE: the cursor to the start of the next row, scrolling when it was on the last. Looks
; at the keyboard on the way (output takes a while). Changes A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
NEWLINE:
        CALL    KPOLL
        XRA     A
        STA     COL
        LDA     ROW
        INR     A
        CPI     32
        JC      NL1
        CALL    SCROLLUP
        MVI     A,31
NL1:    STA     ROW
        RET

; --------------------------------------------------------------------------------------------
; SCROLLUP: everything one text row up. The text buffer moves; the picture does not: the top
; row's pixels are blanked and the scroll register then shows the next row at the top, which
; puts the blanked row at the bottom. Changes A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
SCROLLUP:
        LXI     H,TEXT+32
        LXI     D,TEXT
        MVI     C,(32*31)/4
SU1:    MOV     A,M
        STAX    D
        INX     H
        INX     D
        MOV     A,M
        STAX    D
        INX     H
        INX     D
        MOV     A,M
        STAX    D
        INX     H
        INX     D
        MOV     A,M
        STAX    D
        INX     H
        INX     D
        DCR     C
        JNZ     SU1
        MVI     B,32            ; DE is at the last row now
        MVI     A,' '
SU2:    STAX    D
        INX     D
        DCR     B
        JNZ     SU2
        CALL    KPOLL           ; that took a while
        MVI     A,CWMODE
        OUT     COLREG
        LDA     TOPROW
        ADI     HIGH VIDEO
        MOV     H,A
        MVI     L,0
        MVI     A,0FFH
SU3:    MOV     M,A
        INR     L
        MOV     M,A
        INR     L
        MOV     M,A
        INR     L
        MOV     M,A
        INR     L
        JNZ     SU3
        LDA     TOPROW
        INR     A
        ANI     31
        STA     TOPROW
        RLC                     ; eight pixel rows a text row
        RLC
        RLC
        OUT     SYSPA
        RET

; --------------------------------------------------------------------------------------------
; BACKSP: the cursor one place back (to the end of the row above from column 0) and that
; place blanked. Changes A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
BACKSP: LDA     COL
        ORA     A
        JZ      BS1
        DCR     A
        STA     COL
        JMP     BS2
BS1:    MVI     A,31
        STA     COL
        LDA     ROW
        DCR     A
        STA     ROW
BS2:    CALL    TEXTAT
        MVI     M,' '
        MVI     A,' '
        JMP     PLOT

; --------------------------------------------------------------------------------------------
; CURON, CUROFF: the blinking cursor, a block drawn over the cursor's cell and taken away by
; drawing the cell's character again. Both note the time for the blink. Change A, B, C, D,
; E, H, L.
; --------------------------------------------------------------------------------------------
CURON:  MVI     A,1
        STA     CURVIS
        MVI     A,7FH
        CALL    PLOT
        JMP     CUR1
CUROFF: LDA     CURVIS
        ORA     A
        RZ
        XRA     A
        STA     CURVIS
        CALL    TEXTAT
        MOV     A,M
        CALL    PLOT
CUR1:   LHLD    MSEC
        SHLD    BLINKT
        RET

; --------------------------------------------------------------------------------------------
; ERROR: shows the message at HL in red on a row of its own and returns to the prompt.
; --------------------------------------------------------------------------------------------
ERROR:  LDA     FGCOL
        PUSH    PSW
        MVI     A,RED
        STA     FGCOL
        CALL    PUTS
        POP     PSW
        STA     FGCOL
        JMP     MAIN

; ============================================================================================
; Numbers on the screen
; ============================================================================================

; --------------------------------------------------------------------------------------------
; PHEX4: HL as four hexadecimal digits. PHEX2: A as two. Change A.
; --------------------------------------------------------------------------------------------
PHEX4:  MOV     A,H
        CALL    PHEX2
        MOV     A,L
PHEX2:  PUSH    PSW
        RRC
        RRC
        RRC
        RRC
        CALL    PNIB
        POP     PSW
PNIB:   ANI     0FH             ; 0-9 -> '0'-'9', 10-15 -> 'A'-'F' by two decimal adjusts
        ADI     90H
        DAA
        ACI     40H
        DAA
        JMP     PUTCH

; --------------------------------------------------------------------------------------------
; PDEC: HL in decimal, without leading zeros. Changes A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
PDEC:   MVI     B,0             ; 1 once a digit has been shown
        LXI     D,-10000
        CALL    PDIG
        LXI     D,-1000
        CALL    PDIG
        LXI     D,-100
        CALL    PDIG
        LXI     D,-10
        CALL    PDIG
        MOV     A,L
        ADI     '0'
        JMP     PUTCH
PDIG:   MVI     C,'0'-1         ; count how often the power of ten fits
PD1:    INR     C
        DAD     D
        JC      PD1
        MOV     A,L             ; one subtraction too many: add it back
        SUB     E
        MOV     L,A
        MOV     A,H
        SBB     D
        MOV     H,A
        MOV     A,C
        CPI     '0'
        JNZ     PD2
        MOV     A,B
        ORA     A
        RZ
PD2:    MVI     B,1
        MOV     A,C
        JMP     PUTCH

; ============================================================================================
; Keyboard
;
; Sixteen columns of six keys: a column is selected on PC0-PC3 and its keys read on
; PB0-PB5, low when pressed; PB6 is /Ctrl and PB7 /Shift whatever the column. A key is
; reported when it goes down; while it stays down it repeats after REPDLY and then every
; REPRATE milliseconds. Keys that go down together are reported on successive scans.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; KSCAN: one scan of the matrix. Returns A = the character typed, or 0 for none. Changes B, C,
; D, E, H, L.
; --------------------------------------------------------------------------------------------
KSCAN:  MVI     C,NOKEY         ; C = the key code taken in this scan
        MVI     B,0             ; B = column
        LXI     H,KPREV
KS1:    LDA     PORTC           ; select the column; PC4 keeps the speaker quiet meanwhile
        ANI     0F0H
        ORA     B
        OUT     SYSPC
        IN      SYSPB
        STA     KROWS
        CMA
        ANI     3FH
        MOV     D,A             ; D = keys down in this column
        MOV     A,M
        CMA
        ANA     D
        MOV     E,A             ; E = keys that went down since the last scan
        JZ      KS4
        MOV     A,C
        CPI     NOKEY
        JNZ     KS3             ; one key a scan: the others wait for the next
        MOV     A,E             ; take the lowest: E AND -E
        CMA
        INR     A
        ANA     E
        PUSH    PSW
        XRA     E
        MOV     E,A             ; E = the others
        MOV     A,B
        RLC
        RLC
        RLC
        MOV     C,A             ; C = column * 8 ...
        POP     PSW
KS2:    RRC                     ; ... + row
        JC      KS3
        INR     C
        JMP     KS2
KS3:    MOV     A,E             ; keys not taken count as still up
        CMA
        ANA     D
        MOV     D,A
KS4:    MOV     M,D
        INX     H
        INR     B
        MOV     A,B
        CPI     16
        JC      KS1
        LDA     KROWS
        CMA
        ANI     0C0H
        STA     KMODS
        MOV     A,C
        CPI     NOKEY
        JZ      KS5
        STA     REPKEY          ; a new key: it repeats if held
        LHLD    MSEC
        LXI     D,REPDLY
        DAD     D
        SHLD    REPT
        MOV     A,C
        JMP     KCHAR
KS5:    LDA     REPKEY          ; no new key: is the last one still held?
        CPI     NOKEY
        JZ      KS7
        MOV     C,A
        RRC
        RRC
        RRC
        ANI     0FH
        MOV     E,A
        MVI     D,0
        LXI     H,KPREV
        DAD     D
        MOV     A,C
        ANI     7
        MOV     B,A
        MVI     A,1
KS6:    DCR     B               ; A = the key's row bit
        JM      KS8
        RLC
        JMP     KS6
KS8:    ANA     M
        JZ      KS9
        LHLD    REPT            ; held: repeat when due
        XCHG
        CALL    SINCE
        MOV     A,H
        ORA     A
        JM      KS7
        LHLD    MSEC
        LXI     D,REPRATE
        DAD     D
        SHLD    REPT
        MOV     A,C
        JMP     KCHAR
KS9:    MVI     A,NOKEY         ; released
        STA     REPKEY
KS7:    XRA     A
        RET

; --------------------------------------------------------------------------------------------
; KCHAR: A = key code -> A = its character with the modifiers of the scan, 0 for keys that
; type nothing. Caps Lock turns letters the other way up; Ctrl makes letters control codes.
; Changes B, D, E, H, L.
; --------------------------------------------------------------------------------------------
KCHAR:  MOV     E,A
        MVI     D,0
        LXI     H,KEYLOW
        LDA     KMODS
        ANI     80H
        JZ      KC1
        LXI     H,KEYSHFT
KC1:    DAD     D
        MOV     A,M
        CPI     CAPSKEY
        JZ      KC3
        MOV     B,A
        ANI     0DFH            ; a letter?
        CPI     'A'
        JC      KC2
        CPI     'Z'+1
        JNC     KC2
        LDA     CAPS
        XRA     B
        MOV     B,A
        LDA     KMODS
        ANI     40H
        JZ      KC2
        MOV     A,B
        ANI     1FH
        MOV     B,A
KC2:    MOV     A,B
        RET
KC3:    LDA     CAPS            ; Caps Lock: toggles, types nothing, does not repeat
        XRI     20H
        STA     CAPS
        MVI     A,NOKEY
        STA     REPKEY
        XRA     A
        RET

; --------------------------------------------------------------------------------------------
; CLICK: the key click, a few cycles of 2.5 kHz, quietly. Changes A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
CLICK:  LXI     H,400
        LXI     D,2
        MVI     C,06H
        JMP     TONE

; --------------------------------------------------------------------------------------------
; KPOLL: scans the keyboard when SCANMS have passed since the last scan and queues what was
; typed (with its click). Whatever keeps the monitor busy for long calls it now and then, so
; typing ahead loses nothing; a full queue drops the character. While the SD-ROM module has
; counter 2 every call scans and nothing clicks. Keeps all registers.
; --------------------------------------------------------------------------------------------
KPOLL:  PUSH    PSW
        PUSH    B
        PUSH    D
        PUSH    H
        LDA     SDBUSY          ; the SD-ROM module has counter 2: the millisecond clock
        ORA     A               ; stands still, so every call scans (each entry DIR shows,
        JNZ     KP2             ; between its replies) and the click, timed by it, is left out
        CALL    UPDCLK
        LHLD    SCANT
        XCHG
        CALL    SINCE
        LXI     D,-SCANMS
        DAD     D
        JNC     KP1
        LHLD    MSEC
        SHLD    SCANT
KP2:    CALL    KSCAN
        ORA     A
        JZ      KP1
        MOV     C,A
        LDA     KQCNT
        CPI     KQSIZE
        JNC     KP1
        MOV     E,A
        INR     A
        STA     KQCNT
        MVI     D,0
        LXI     H,KQBUF
        DAD     D
        MOV     M,C
        LDA     SDBUSY
        ORA     A
        CZ      CLICK
KP1:    POP     H
        POP     D
        POP     B
        POP     PSW
        RET

; --------------------------------------------------------------------------------------------
; GETKEY: waits for a character with the cursor blinking; returns it in A with the cursor
; taken away. Changes B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
GETKEY: CALL    UPDCLK
        CALL    CURON
GK1:    CALL    KPOLL
        LDA     KQCNT
        ORA     A
        JNZ     GK3
        LHLD    BLINKT
        XCHG
        CALL    SINCE
        LXI     D,-BLINKMS
        DAD     D
        JNC     GK1
        LDA     CURVIS          ; time to blink
        ORA     A
        JZ      GK2
        CALL    CUROFF
        JMP     GK1
GK2:    CALL    CURON
        JMP     GK1
GK3:    CALL    CUROFF
        LXI     H,KQCNT         ; take the oldest and move the rest up
        DCR     M
        MOV     B,M
        LXI     H,KQBUF
        MOV     C,M
GK4:    MOV     A,B
        ORA     A
        JZ      GK5
        INX     H
        MOV     A,M
        DCX     H
        MOV     M,A
        INX     H
        DCR     B
        JMP     GK4
GK5:    MOV     A,C
        RET

; --------------------------------------------------------------------------------------------
; GETLINE: reads a line into LINEBUF (zero-terminated) with echo. Backspace (or Left, or
; Delete) takes back a character, Esc the whole line, Enter ends it. Changes A, B, C, D, E,
; H, L.
; --------------------------------------------------------------------------------------------
GETLINE:
        XRA     A
        STA     LINELEN
GL1:    CALL    GETKEY
        CPI     CR
        JZ      GL5
        CPI     BS
        JZ      GL3
        CPI     ESC
        JZ      GL4
        CPI     20H
        JC      GL1
        MOV     C,A
        LDA     LINELEN
        CPI     LINEMAX
        JNC     GL1             ; full: the character is not taken
        MOV     E,A
        INR     A
        STA     LINELEN
        MVI     D,0
        LXI     H,LINEBUF
        DAD     D
        MOV     M,C
        MOV     A,C
        CALL    PUTCH
        JMP     GL1
GL3:    CALL    GLBACK
        JMP     GL1
GL4:    CALL    GLBACK          ; Esc: back to the start of the line
        JNZ     GL4
        JMP     GL1
GL5:    LDA     LINELEN
        MOV     E,A
        MVI     D,0
        LXI     H,LINEBUF
        DAD     D
        MVI     M,0
        JMP     NEWLINE
GLBACK: LDA     LINELEN         ; one character back; Z when the line is empty after it
        ORA     A
        RZ
        DCR     A
        STA     LINELEN
        CALL    BACKSP
        LDA     LINELEN
        ORA     A
        RET

; ============================================================================================
; Reading a command line
; ============================================================================================

; --------------------------------------------------------------------------------------------
; EXEC: runs the command in LINEBUF. The first word names it, in upper or lower case; its
; routine gets HL pointing after the word. An empty line does nothing.
; --------------------------------------------------------------------------------------------
EXEC:   LXI     H,LINEBUF
        CALL    ATEND
        RZ
        LXI     D,COMMANDS
EX1:    LDAX    D               ; end of the table: nobody knows the word
        ORA     A
        JZ      EXUNK
        PUSH    H
EX2:    LDAX    D
        ORA     A
        JZ      EX3
        MOV     B,A
        MOV     A,M
        CALL    UPCASE
        CMP     B
        JNZ     EX4
        INX     H
        INX     D
        JMP     EX2
EX3:    MOV     A,M             ; the name ended: so must the word
        ORA     A
        JZ      EX5
        CPI     ' '
        JZ      EX5
EX4:    LDAX    D               ; not this one: past the name and its address
        INX     D
        ORA     A
        JNZ     EX4
        INX     D
        INX     D
        POP     H
        JMP     EX1
EX5:    POP     B
        INX     D
        XCHG
        MOV     A,M
        INX     H
        MOV     H,M
        MOV     L,A
        XCHG
        PUSH    D               ; "call" the routine: its RET goes back to our caller
        RET
EXUNK:  LXI     H,MSGUNK
        JMP     ERROR

; --------------------------------------------------------------------------------------------
; UPCASE: A in upper case when it is a lower-case letter.
; --------------------------------------------------------------------------------------------
UPCASE: CPI     'a'
        RC
        CPI     'z'+1
        RNC
        SUI     20H
        RET

; --------------------------------------------------------------------------------------------
; SKIPSP: HL past blanks. ATEND: the same, then Z when the line ends there. Change A.
; --------------------------------------------------------------------------------------------
ATEND:  CALL    SKIPSP
        MOV     A,M
        ORA     A
        RET
SKIPSP: MOV     A,M
        CPI     ' '
        RNZ
        INX     H
        JMP     SKIPSP

; --------------------------------------------------------------------------------------------
; NOMORE: the line must end here (after blanks); anything else is a bad argument.
; --------------------------------------------------------------------------------------------
NOMORE: CALL    ATEND
        RZ
        JMP     BADARG

; --------------------------------------------------------------------------------------------
; HEXVAL: A = a character -> A = its value 0-15 with carry clear, or carry set when it is not
; a hexadecimal digit.
; --------------------------------------------------------------------------------------------
HEXVAL: CPI     '0'
        RC
        CPI     '9'+1
        JC      HV1
        CALL    UPCASE
        CPI     'A'
        RC
        CPI     'F'+1
        CMC
        RC
        SUI     'A'-10
        RET
HV1:    SUI     '0'
        RET

; --------------------------------------------------------------------------------------------
; NEEDNUM: DE = the hexadecimal number (1-4 digits) at HL after blanks; HL moves past it. A
; missing number, a fifth digit or anything but a blank or the end right after the digits is
; a bad argument. NEEDBYTE: the same for 00-FF, also in A. Keep B, C.
; --------------------------------------------------------------------------------------------
NEEDNUM:
        CALL    SKIPSP
        PUSH    B
        LXI     D,0
        MVI     B,0             ; digits read
NN1:    MOV     A,M
        CALL    HEXVAL
        JC      NN2
        INR     B
        MOV     C,A
        MOV     A,B
        CPI     5
        JNC     BADARG
        XCHG                    ; DE = DE * 16 + digit
        DAD     H
        DAD     H
        DAD     H
        DAD     H
        MOV     A,L
        ORA     C
        MOV     L,A
        XCHG
        INX     H
        JMP     NN1
NN2:    MOV     A,B
        ORA     A
        JZ      BADARG
        MOV     A,M
        ORA     A
        JZ      NN3
        CPI     ' '
        JNZ     BADARG
NN3:    POP     B
        RET
NEEDBYTE:
        CALL    NEEDNUM
        MOV     A,D
        ORA     A
        JNZ     BADARG
        MOV     A,E
        RET

; --------------------------------------------------------------------------------------------
; BADARG: the message for arguments the command cannot use, and back to the prompt.
; --------------------------------------------------------------------------------------------
BADARG: LXI     H,MSGARG
        JMP     ERROR

; ============================================================================================
; Memory checks
;
; A read from a page that holds no memory or a write to ROM stops the machine, so before the
; monitor touches memory for the user it asks the page registers where the address leads:
; pages E0-EF are RAM, F8-FF ROM, everything else is empty.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; PAGEOF: A = the physical page that address HL reaches. Changes A.
; --------------------------------------------------------------------------------------------
PAGEOF: PUSH    D
        PUSH    H
        MOV     A,H
        RRC
        RRC
        RRC
        RRC
        ANI     0FH
        MOV     E,A             ; IN takes its port from the code: call the IN of this
        ADD     A               ; window in the table below (three bytes each)
        ADD     E
        MOV     E,A
        MVI     D,0
        LXI     H,PAGEIN
        DAD     D
        CALL    CALLHL
        CMA                     ; the registers read back inverted
        POP     H
        POP     D
        RET
CALLHL: PCHL
PAGEIN: IN      PAGEREG+0
        RET
        IN      PAGEREG+1
        RET
        IN      PAGEREG+2
        RET
        IN      PAGEREG+3
        RET
        IN      PAGEREG+4
        RET
        IN      PAGEREG+5
        RET
        IN      PAGEREG+6
        RET
        IN      PAGEREG+7
        RET
        IN      PAGEREG+8
        RET
        IN      PAGEREG+9
        RET
        IN      PAGEREG+10
        RET
        IN      PAGEREG+11
        RET
        IN      PAGEREG+12
        RET
        IN      PAGEREG+13
        RET
        IN      PAGEREG+14
        RET
        IN      PAGEREG+15
        RET

; --------------------------------------------------------------------------------------------
; CANREAD: carry clear when address HL reaches memory (RAM or ROM). Changes A.
; CANWRITE: carry clear when it reaches RAM. Changes A.
; --------------------------------------------------------------------------------------------
CANREAD:
        CALL    PAGEOF
        CPI     0E0H
        RC
        CPI     0F0H
        CMC
        RNC
        CPI     0F8H
        RET
CANWRITE:
        CALL    PAGEOF
        ANI     0F0H
        CPI     0E0H
        RZ
        STC
        RET

; --------------------------------------------------------------------------------------------
; CHKW: carry clear when all BC bytes (1-FFFFH) from HL on are RAM; checked once per 4 KB
; window. CHKR: the same for memory that can be read. Change A, B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
CHKR:   MVI     A,1
        JMP     CHK0
CHKW:   XRA     A
CHK0:   STA     CHKRD
CHK1:   LDA     CHKRD
        ORA     A
        JZ      CHK2
        CALL    CANREAD
        JMP     CHK3
CHK2:   CALL    CANWRITE
CHK3:   RC
        MOV     A,H             ; DE = bytes left in this window: 1000H - (HL AND 0FFFH)
        ANI     0FH
        MOV     D,A
        XRA     A
        SUB     L
        MOV     E,A
        MVI     A,10H
        SBB     D
        MOV     D,A
        MOV     A,E             ; BC <= DE: the rest lies in this window
        SUB     C
        MOV     A,D
        SBB     B
        RNC
        MOV     A,C
        SUB     E
        MOV     C,A
        MOV     A,B
        SBB     D
        MOV     B,A
        DAD     D
        JMP     CHK1

; ============================================================================================
; The commands. Each gets HL pointing after its name in the line.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; HELP
; --------------------------------------------------------------------------------------------
CMDHELP:
        CALL    NOMORE
        LXI     H,HELPTXT
        JMP     PUTS

; --------------------------------------------------------------------------------------------
; D [ADDR [LEN]]: eight bytes a row, "ADDR: BB BB ...", "--" for an address without memory.
; Esc stops it.
; --------------------------------------------------------------------------------------------
CMDD:   CALL    ATEND
        JZ      DD2             ; D alone: go on from the last dump
        CALL    NEEDNUM
        XCHG
        SHLD    DADDR
        XCHG
        LXI     B,40H
        CALL    ATEND
        JZ      DD1
        CALL    NEEDNUM
        MOV     B,D
        MOV     C,E
        CALL    NOMORE
        MOV     A,B
        ORA     C
        JZ      BADARG
        JMP     DD1
DD2:    LXI     B,40H
DD1:    LHLD    DADDR
DD3:    CALL    PHEX4           ; a row
        MVI     A,':'
        CALL    PUTCH
        MVI     D,8
DD4:    MVI     A,' '
        CALL    PUTCH
        CALL    CANREAD
        JC      DD5
        MOV     A,M
        CALL    PHEX2
        JMP     DD6
DD5:    MVI     A,'-'
        CALL    PUTCH
        CALL    PUTCH
DD6:    INX     H
        DCX     B
        MOV     A,B
        ORA     C
        JZ      DD7
        DCR     D
        JNZ     DD4
        SHLD    DADDR
        PUSH    H
        PUSH    B
        CALL    NEWLINE
        POP     B
        POP     H
        CALL    ESCDOWN
        JZ      DD3
        RET
DD7:    SHLD    DADDR
        JMP     NEWLINE

; --------------------------------------------------------------------------------------------
; ESCDOWN: NZ while Esc is held. Selects keyboard column 0. Changes A.
; --------------------------------------------------------------------------------------------
ESCDOWN:
        LDA     PORTC
        ANI     0F0H
        OUT     SYSPC
        IN      SYSPB
        CMA
        ANI     ESCROW
        RET

; --------------------------------------------------------------------------------------------
; E ADDR BB BB ...: the bytes are all read and the addresses checked before anything is
; written, so a bad line changes nothing.
; --------------------------------------------------------------------------------------------
CMDE:   CALL    NEEDNUM
        XCHG
        SHLD    EADDR
        XCHG
        SHLD    EPTR
        LXI     B,0             ; BC = how many bytes
CE1:    CALL    ATEND
        JZ      CE2
        CALL    NEEDBYTE
        INX     B
        JMP     CE1
CE2:    MOV     A,B
        ORA     C
        JZ      BADARG
        LHLD    EADDR
        CALL    CHKW
        JC      NOTRAM
        LHLD    EPTR
CE3:    CALL    ATEND
        RZ
        CALL    NEEDBYTE
        PUSH    H
        LHLD    EADDR
        MOV     M,A
        INX     H
        SHLD    EADDR
        POP     H
        JMP     CE3
NOTRAM: LXI     H,MSGRAM
        JMP     ERROR

; --------------------------------------------------------------------------------------------
; F ADDR LEN BB: LEN 1-FFFFH.
; --------------------------------------------------------------------------------------------
CMDF:   CALL    NEEDNUM
        XCHG
        SHLD    EADDR
        XCHG
        CALL    NEEDNUM
        XCHG
        SHLD    FLEN
        XCHG
        CALL    NEEDBYTE
        STA     FVAL
        CALL    NOMORE
        LHLD    FLEN
        MOV     A,H
        ORA     L
        JZ      BADARG
        MOV     B,H
        MOV     C,L
        LHLD    EADDR
        CALL    CHKW
        JC      NOTRAM
        LHLD    FLEN
        MOV     B,H
        MOV     C,L
        LHLD    EADDR
        LDA     FVAL
        MOV     E,A
CF1:    MOV     M,E
        INX     H
        DCX     B
        MOV     A,L             ; a long fill looks at the keyboard every 256 bytes
        ORA     A
        CZ      KPOLL
        MOV     A,B
        ORA     C
        JNZ     CF1
        RET

; --------------------------------------------------------------------------------------------
; G ADDR: calls the program with the monitor's stack. When it returns the chips are set up
; for the monitor again.
; --------------------------------------------------------------------------------------------
CMDG:   CALL    NEEDNUM
        CALL    NOMORE
        XCHG
        CALL    CANREAD
        JC      NOMEM
        CALL    CALLHL
        CALL    HWINIT
        RET
NOMEM:  LXI     H,MSGMEM
        JMP     ERROR

; --------------------------------------------------------------------------------------------
; C N: the text colour from now on, 1-7.
; --------------------------------------------------------------------------------------------
CMDC:   CALL    NEEDBYTE
        CALL    NOMORE
        MOV     A,E
        ORA     A
        JZ      BADARG
        CPI     8
        JNC     BADARG
        STA     FGCOL
        RET

; --------------------------------------------------------------------------------------------
; B FREQ MS: FREQ 14H-0FA0H (20-4000 Hz), MS 1-2710H (10 s). Half a period in ticks is
; 1000000 / FREQ, rounded.
; --------------------------------------------------------------------------------------------
CMDB:   CALL    NEEDNUM
        PUSH    D
        CALL    NEEDNUM
        PUSH    D
        CALL    NOMORE
        POP     H               ; HL = milliseconds
        POP     B               ; BC = frequency
        MOV     A,H
        ORA     L
        JZ      BADARG
        LXI     D,-2711H
        PUSH    H
        DAD     D
        POP     H
        JC      BADARG
        PUSH    H
        LXI     H,-14H          ; 20 Hz and up
        DAD     B
        JNC     BADARG
        LXI     H,-0FA1H        ; up to 4000 Hz
        DAD     B
        JC      BADARG
        MOV     A,B             ; HL:DE = 1000000 + FREQ / 2
        ORA     A
        RAR
        MOV     D,A
        MOV     A,C
        RAR
        MOV     E,A
        LXI     H,4240H
        DAD     D
        XCHG
        LXI     H,000FH
        JNC     CB1
        INX     H
CB1:    CALL    DIV32           ; DE = half a period
        XCHG
        POP     D
        MVI     C,0FH
        JMP     TONE

; --------------------------------------------------------------------------------------------
; DIV32: DE = HL:DE / BC, HL = the remainder; HL must be below BC. Changes A.
; --------------------------------------------------------------------------------------------
DIV32:  MVI     A,16
DV1:    PUSH    PSW
        XCHG                    ; shift HL:DE left by one
        DAD     H
        XCHG
        MOV     A,L
        RAL
        MOV     L,A
        MOV     A,H
        RAL
        MOV     H,A
        JC      DV2             ; 17 bits: certainly at least the divisor
        MOV     A,L
        SUB     C
        MOV     A,H
        SBB     B
        JC      DV3
DV2:    MOV     A,L
        SUB     C
        MOV     L,A
        MOV     A,H
        SBB     B
        MOV     H,A
        INX     D               ; the quotient bit
DV3:    POP     PSW
        DCR     A
        JNZ     DV1
        RET

; --------------------------------------------------------------------------------------------
; T: counts timer interrupts for one second. Counter 0 divides the 2 MHz clock by 2000,
; counter 1 divides counter 0's output by 20: fifty rising edges a second on interrupt line
; 6, which the 3214 turns into RST 1 while PC6 is high. Counters 0 and 1 only run when the
; machine clocks them (chain-timer01); without that no interrupt comes and the count is 0.
; Counting starts half an interrupt period after the first one, so that the one-second
; window never ends on an edge: with the chain it always sees exactly fifty.
; --------------------------------------------------------------------------------------------
CMDT:   CALL    NOMORE
        DI
        LXI     H,0
        SHLD    IRQCNT
        MVI     A,T0MODE
        OUT     TIMCTL
        MVI     A,LOW 2000
        OUT     TIMER0
        MVI     A,HIGH 2000
        OUT     TIMER0
        MVI     A,T1MODE
        OUT     TIMCTL
        MVI     A,20
        OUT     TIMER1
        XRA     A
        OUT     TIMER1
        LDA     PORTC           ; PC6 high: line 6 may request
        ORI     PC6BIT
        STA     PORTC
        OUT     SYSPC
        MVI     A,ICUSTAT       ; a status write arms the 3214
        OUT     ICU
        EI
        CALL    UPDCLK          ; wait up to 100 ms for the first interrupt
        LHLD    MSEC
        SHLD    TSTART
CT1:    CALL    KPOLL
        LHLD    IRQCNT
        MOV     A,H
        ORA     L
        JNZ     CT2
        LHLD    TSTART
        XCHG
        CALL    SINCE
        LXI     D,-100
        DAD     D
        JNC     CT1
CT2:    LXI     H,10
        CALL    WAITMS
        LXI     H,0
        SHLD    IRQCNT
        LXI     H,1000
        CALL    WAITMS
        DI
        LHLD    IRQCNT
        PUSH    H
        LDA     PORTC           ; PC6 low: withdraws a pending request and blocks the line
        ANI     0FFH-PC6BIT
        STA     PORTC
        OUT     SYSPC
        MVI     A,T0MODE        ; a control word without a count stops a counter
        OUT     TIMCTL
        MVI     A,T1MODE
        OUT     TIMCTL
        LXI     H,MSGIRQ
        CALL    PUTS
        POP     H
        CALL    PDEC
        JMP     NEWLINE

; --------------------------------------------------------------------------------------------
; TISR: the interrupt routine of the T command (RST 1, reached through 0008H). Counts, then
; acknowledges line 6 by pulling PC6 low and high again, and writes the 3214's status,
; which it needs before it issues another interrupt.
; --------------------------------------------------------------------------------------------
TISR:   PUSH    PSW
        PUSH    H
        LHLD    IRQCNT
        INX     H
        SHLD    IRQCNT
        MVI     A,PC6OFF
        OUT     SYSCTL
        MVI     A,PC6ON
        OUT     SYSCTL
        MVI     A,ICUSTAT
        OUT     ICU
        POP     H
        POP     PSW
        EI
        RET

; ============================================================================================
; The tape
;
; The recorder on serial line 0 keeps the bytes the program writes from the sync bytes AAH 55H
; on; the leader and the trailer are the transmitter's fill of 3FH, which it does not keep, and
; a tenth of a second without a new block ends the record. Reading hunts for AAH 55H before
; every block, so the gaps between blocks need no counting.
; ============================================================================================

; --------------------------------------------------------------------------------------------
; USMODE: puts the 8251 back to expecting a mode instruction whatever it expected before
; (three zeros reach the command register from any state), then writes mode A. Changes A.
; --------------------------------------------------------------------------------------------
USMODE: PUSH    PSW
        XRA     A
        OUT     USCTL
        OUT     USCTL
        OUT     USCTL
        MVI     A,USRESET
        OUT     USCTL
        POP     PSW
        OUT     USCTL
        RET

; --------------------------------------------------------------------------------------------
; TXBYTE: sends A once the transmit buffer is free; Esc stops the command. TXSUM: the same,
; adding A to TSUM first. Keep all registers but A's flags.
; --------------------------------------------------------------------------------------------
TXSUM:  PUSH    PSW
        PUSH    H
        LXI     H,TSUM
        ADD     M
        MOV     M,A
        POP     H
        POP     PSW
TXBYTE: PUSH    PSW
TX1:    CALL    ESCDOWN
        JNZ     TSTOP
        IN      USCTL
        ANI     USTXRDY
        JZ      TX1
        POP     PSW
        OUT     USDATA
        RET
TSTOP:  LXI     H,MSGSTOP
        JMP     ERROR

; --------------------------------------------------------------------------------------------
; SAVE ADDR LEN: LEN 1-FFFFH readable bytes; blocks of 128 bytes of payload, the last one
; filled up with zeros, each block sent twice.
; --------------------------------------------------------------------------------------------
CMDSAVE:
        CALL    NEEDNUM
        XCHG
        SHLD    TADDR
        SHLD    TBEG
        XCHG
        CALL    NEEDNUM
        XCHG
        SHLD    TLEFT
        XCHG
        CALL    NOMORE
        LHLD    TLEFT
        MOV     A,H
        ORA     L
        JZ      BADARG
        XCHG                    ; the last address must not pass FFFFH
        DCX     D
        LHLD    TADDR
        DAD     D
        JC      BADARG
        SHLD    TEND
        LHLD    TLEFT
        MOV     B,H
        MOV     C,L
        LHLD    TADDR
        CALL    CHKR
        JC      NOMEM
        LHLD    TLEFT           ; the first block's number: (LEN - 1) / 128
        DCX     H
        DAD     H
        MOV     L,H
        MVI     H,0
        JNC     SV1
        INR     H
SV1:    SHLD    TBLK
        MVI     A,80H
        STA     TFIRST
        MVI     A,USTXMODE
        CALL    USMODE
        MVI     A,FILLB         ; the sync character is also the fill: the leader
        OUT     USCTL
        MVI     A,USTXCMD
        OUT     USCTL
        LXI     H,500
        CALL    WAITMS
        MVI     A,FILLB         ; the leader's last byte wakes the recorder
        CALL    TXBYTE
SV2:    CALL    SBLOCK
        CALL    SBLOCK
        XRA     A
        STA     TFIRST
        LHLD    TADDR
        LXI     D,128
        DAD     D
        SHLD    TADDR
        LHLD    TLEFT
        LXI     D,-128
        DAD     D               ; no carry: fewer than 128 were left
        JNC     SV3
        MOV     A,H
        ORA     L
        JZ      SV3
        SHLD    TLEFT
        LHLD    TBLK
        DCX     H
        SHLD    TBLK
        JMP     SV2
SV3:    LXI     H,300           ; the trailer: fill while the recorder ends the record
        CALL    WAITMS
        LXI     H,MSGSAVED
        CALL    PUTS
        LHLD    TBEG
        CALL    PHEX4
        MVI     A,'-'
        CALL    PUTCH
        LHLD    TEND
        CALL    PHEX4
        JMP     NEWLINE

; --------------------------------------------------------------------------------------------
; SBLOCK: one copy of block TBLK after its sync bytes, the payload from TADDR. Changes A, B,
; C, D, H, L.
; --------------------------------------------------------------------------------------------
SBLOCK: MVI     A,SYNC1
        CALL    TXBYTE
        MVI     A,SYNC2
        CALL    TXBYTE
        XRA     A
        STA     TSUM
        LHLD    TBLK
        MOV     A,L
        CALL    TXSUM
        MOV     A,H
        CALL    TXSUM
        LDA     TFIRST
        ORI     RECNUM
        CALL    TXSUM
        MVI     A,FTMONIT
        CALL    TXSUM
        LHLD    TLEFT
        MOV     B,H
        MOV     C,L
        LHLD    TADDR
        MVI     D,128
SB1:    MOV     A,B             ; past the end: zeros
        ORA     C
        JZ      SB2
        MOV     A,M
        INX     H
        DCX     B
SB2:    CALL    TXSUM
        DCR     D
        JNZ     SB1
        LDA     TSUM
        CMA
        JMP     TXBYTE

; --------------------------------------------------------------------------------------------
; LOAD ADDR: the next data record, every block's payload in block order from ADDR. A copy
; whose checksum fails is passed over (its number cannot be trusted either); the second copy
; serves instead. A block without a good copy, a block out of order or a record that stops
; before block 0 ends the command with a message.
; --------------------------------------------------------------------------------------------
CMDLOAD:
        CALL    NEEDNUM
        CALL    NOMORE
        XCHG
        SHLD    TADDR
        SHLD    TBEG
        XRA     A
        STA     TSTATE
        STA     TBAD
        STA     TLIMIT
        MVI     A,USRXMODE
        CALL    USMODE
        MVI     A,SYNC1
        OUT     USCTL
        MVI     A,SYNC2
        OUT     USCTL
LD1:    MVI     A,USRXCMD       ; hunt: the byte after AAH 55H is a block's first
        OUT     USCTL
        CALL    RXBLK
        JC      LDTIME
        CALL    BLKSUM
        JZ      LD2
        MVI     A,1
        STA     TBAD
        JMP     LD1
LD2:    LHLD    BLKBUF          ; HL = the block's number
        LDA     TSTATE
        ORA     A
        JNZ     LD4
        LDA     BLKBUF+2
        ORA     A
        JM      LD3
        LDA     TBAD            ; not a first block: a record's middle, or its first block
        ORA     A               ; came damaged only
        JZ      LD1
        INX     H
        JMP     LDBAD
LD3:    SHLD    TBLK            ; the first block: the whole record must fit in RAM
        INX     H
        MOV     A,H
        CPI     2
        JNC     NOTRAM
        MOV     A,H             ; BC = blocks * 128
        RAR
        MOV     A,L
        RAR
        MOV     B,A
        MVI     A,0
        RAR
        MOV     C,A
        LHLD    TADDR
        PUSH    B
        DCX     B
        DAD     B
        POP     B
        JC      NOTRAM
        LHLD    TADDR
        CALL    CHKW
        JC      NOTRAM
        LDA     BLKBUF+2
        ANI     7FH
        STA     TREC
        MVI     A,1
        STA     TSTATE
        STA     TLIMIT
        JMP     LDSTORE
LD4:    XCHG                    ; DE = the block's number, HL = the last one stored
        LHLD    TBLK
        MOV     A,L
        CMP     E
        JNZ     LD5
        MOV     A,H
        CMP     D
        JZ      LD1             ; a copy of the block stored last
LD5:    DCX     H               ; HL = the block due next
        LDA     BLKBUF+2        ; the same record, not a first block
        MOV     B,A
        LDA     TREC
        CMP     B
        JNZ     LDSEQ
        MOV     A,L
        CMP     E
        JNZ     LD6
        MOV     A,H
        CMP     D
        JNZ     LD6
        SHLD    TBLK
        JMP     LDSTORE
LD6:    MOV     A,E             ; a lower number: the block due had no good copy
        SUB     L
        MOV     A,D
        SBB     H
        JC      LDBAD
        JMP     LDSEQ
LDSTORE:
        LHLD    TADDR
        XCHG
        LXI     H,BLKBUF+4
        MVI     B,128
LS1:    MOV     A,M
        STAX    D
        INX     H
        INX     D
        DCR     B
        JNZ     LS1
        XCHG
        SHLD    TADDR
        XRA     A
        STA     TBAD
        LHLD    TBLK
        MOV     A,H
        ORA     L
        JNZ     LD1
        LXI     H,MSGLOADED
        CALL    PUTS
        LHLD    TBEG
        CALL    PHEX4
        MVI     A,'-'
        CALL    PUTCH
        LHLD    TADDR
        DCX     H
        CALL    PHEX4
        JMP     NEWLINE
LDTIME: LDA     TBAD            ; the record stopped before block 0
        ORA     A
        JZ      LDSEQ
        LHLD    TBLK
        DCX     H
LDBAD:  XCHG                    ; HL = the block without a good copy
        LXI     H,MSGBAD
        JMP     ERRNUM
LDSEQ:  LXI     H,MSGSEQ
        JMP     ERROR

; --------------------------------------------------------------------------------------------
; ERRNUM: ERROR with the message at HL followed by DE in hexadecimal.
; --------------------------------------------------------------------------------------------
ERRNUM: LDA     FGCOL
        PUSH    PSW
        MVI     A,RED
        STA     FGCOL
        CALL    PUTS
        XCHG
        CALL    PHEX4
        POP     PSW
        STA     FGCOL
        JMP     MAIN

; --------------------------------------------------------------------------------------------
; RXBLK: the next block into BLKBUF; carry when TLIMIT is set and it did not come in time.
; Changes A, B, D, E, H, L.
; --------------------------------------------------------------------------------------------
RXBLK:  CALL    UPDCLK
        LHLD    MSEC
        SHLD    TWAIT
        LXI     H,BLKBUF
        MVI     B,BLKLEN
RB1:    CALL    RXBYTE
        RC
        MOV     M,A
        INX     H
        DCR     B
        JNZ     RB1
        RET

; --------------------------------------------------------------------------------------------
; RXBYTE: the next received byte -> A with carry clear; carry on a time-out; Esc stops the
; command. Keeps B, C, D, E, H, L.
; --------------------------------------------------------------------------------------------
RXBYTE: CALL    ESCDOWN
        JNZ     TSTOP
        IN      USCTL
        ANI     USRXRDY
        JNZ     RX2
        LDA     TLIMIT
        ORA     A
        JZ      RXBYTE
        PUSH    H
        PUSH    D
        CALL    UPDCLK
        LHLD    TWAIT
        XCHG
        CALL    SINCE
        LXI     D,-LOADWAIT
        DAD     D
        POP     D
        POP     H
        JNC     RXBYTE
        RET
RX2:    IN      USDATA
        ORA     A
        RET

; --------------------------------------------------------------------------------------------
; BLKSUM: Z when the block in BLKBUF passes its checksum. Changes A, B, H, L.
; --------------------------------------------------------------------------------------------
BLKSUM: LXI     H,BLKBUF
        MVI     B,BLKLEN-1
        XRA     A
BK1:    ADD     M
        INX     H
        DCR     B
        JNZ     BK1
        CMA
        CMP     M
        RET


; ============================================================================================
; SD-ROM module: DIR, CD NAME, LOADSD NAME ADDR, SAVESD NAME ADDR LEN
;
; The module sits on serial line 3, the one the 8251 selects with neither DTR nor RTS set. A
; command is a frame: 0AAH, the command letter, its parameters, and the XOR of all of them.
; The module answers 33H, then a result code (0 = done), then for some commands reply data
; and a checksum (0AAH XOR the data), about one byte a millisecond. Counter 2 clocks both the
; 8251 and the module's sender, so while the monitor talks to the module counter 2 runs as a
; fast square wave (an edge every tick: 32 ticks a bit at x16) and the millisecond clock stands
; still; HWINIT puts counter 2 back afterwards. A file read arrives 4 KB at a time in the
; module's data window, page FB, which the monitor shows in window B (the lower half of the
; screen) only while it copies from there.
; ============================================================================================
SDDATA  EQU     0C8H            ; 8251 data
SDCTL   EQU     0C9H            ; 8251 mode, command and status
SDT2CW  EQU     0B6H            ; counter 2: LSB then MSB, mode 3 (square wave), binary
SDT2CNT EQU     2               ; the fastest square wave: an edge every tick
SDMODE  EQU     4EH             ; asynchronous x16, 8 data bits, no parity, one stop bit
SDCMD   EQU     15H             ; TxEN, RxE, error reset; neither DTR nor RTS: line 3
SDWPAGE EQU     0FBH            ; the module's data window
SDWIN   EQU     0B000H          ; window B, where the monitor shows it while copying
SDFRAME EQU     0AAH            ; a frame starts with it; the reply checksum starts from it
SDACK   EQU     33H             ; the module took the frame
SDEOF   EQU     9               ; result: the end of the file

; Variables, below the stack (which keeps 9A90-9AFF)
SDBUF   EQU     9A00H           ; 128 bytes: reply data
SDSUM   EQU     9A80H           ; the frame's running checksum
SDRSUM  EQU     9A81H           ; the reply's running checksum
SDNLEN  EQU     9A82H           ; the name's length
SDPAGE  EQU     9A83H           ; window B's page while the data window is shown there
SDNPTR  EQU     9A84H           ; word: the name, in the line
SDADDR  EQU     9A86H           ; word: where the next byte goes or comes from
SDLEN   EQU     9A88H           ; word: bytes still to move
SDTOTAL EQU     9A8AH           ; word: the whole length

; --------------------------------------------------------------------------------------------
; DIR: every entry of the current folder, "<DIR>    NAME" or the size in eight hexadecimal
; digits and the name. Esc stops it.
; --------------------------------------------------------------------------------------------
CMDDIR: CALL    NOMORE
        CALL    SDINIT
        MVI     A,'L'
        CALL    SDSTART
        XRA     A               ; no pattern: everything, from the first entry
        CALL    SDPUT
SDD1:   CALL    SDDO
        CALL    SDRECV          ; the name's length, 0 after the last entry
        CPI     32
        JNC     SDBAD
        STA     SDBUF
        MOV     B,A
        ADI     5               ; the name, the attributes, four bytes of size
        LXI     H,SDBUF+1
        MOV     C,A
SDD2:   CALL    SDRECV
        MOV     M,A
        INX     H
        DCR     C
        JNZ     SDD2
        CALL    SDCHECK
        MOV     A,B
        ORA     A
        JZ      SDQUIT
        CALL    SDSHOW
        CALL    ESCDOWN
        JNZ     SDQUIT
        MVI     A,'L'
        CALL    SDSTART
        MVI     A,32            ; a length of 32 or more: the next entry
        CALL    SDPUT
        JMP     SDD1

; SDSHOW: the entry in SDBUF, B = the name's length (1-31). Changes A, B, C, D, E, H, L.
SDSHOW: LXI     H,SDBUF+1
        MOV     E,B
        MVI     D,0
        DAD     D               ; HL = the attributes
        MOV     A,M
        ANI     10H
        JZ      SDS1
        LXI     H,MSGSDIR
        CALL    PUTS
        JMP     SDS2
SDS1:   LXI     D,4             ; the size, its highest byte first
        DAD     D
        MVI     C,4
SDS0:   MOV     A,M
        CALL    PHEX2
        DCX     H
        DCR     C
        JNZ     SDS0
        MVI     A,' '
        CALL    PUTCH
SDS2:   LXI     H,SDBUF+1
        CALL    SDTEXT
        JMP     NEWLINE

; SDTEXT: shows B characters (1-255) from HL, '?' for those the font lacks. Changes A, B, H, L.
SDTEXT: MOV     A,M
        CPI     20H
        JC      SDT1
        CPI     7FH
        JC      SDT2
SDT1:   MVI     A,'?'
SDT2:   CALL    PUTCH
        INX     H
        DCR     B
        JNZ     SDTEXT
        RET

; --------------------------------------------------------------------------------------------
; CD NAME: into a folder of the current one (.. goes up), then shows where that is.
; --------------------------------------------------------------------------------------------
CMDCD:  CALL    SDGETNM
        CALL    NOMORE
        CALL    SDINIT
        MVI     A,'M'
        CALL    SDSTART
        CALL    SDNAME
        CALL    SDDO
        MVI     A,'K'           ; the current folder
        CALL    SDSTART
        CALL    SDDO
        CALL    SDRECV
        MOV     B,A
        MOV     C,A
        LXI     H,SDBUF
        ORA     A
        CNZ     SDRECVN
        CALL    SDCHECK
        MVI     A,'/'
        CALL    PUTCH
        LXI     H,SDBUF
        MOV     B,C
        MOV     A,B
        ORA     A
        CNZ     SDTEXT
        CALL    NEWLINE
        JMP     SDQUIT

; --------------------------------------------------------------------------------------------
; LOADSD NAME ADDR: the whole file into RAM from ADDR; it must end by 9FFFH.
; --------------------------------------------------------------------------------------------
CMDLDSD:
        CALL    SDGETNM
        CALL    NEEDNUM
        XCHG
        SHLD    SDADDR
        XCHG
        CALL    NOMORE
        CALL    SDINIT
        MVI     A,'1'           ; the image bank in the ROM window, so reads show in page FB
        CALL    SDSTART
        CALL    SDDO
        MVI     A,'O'
        CALL    SDSTART
        CALL    SDNAME
        CALL    SDDO
        LXI     H,SDBUF         ; the size, four bytes
        MVI     B,4
        CALL    SDRECVN
        CALL    SDCHECK
        LHLD    SDBUF+2
        MOV     A,H
        ORA     L
        JNZ     SDBIG
        LHLD    SDBUF
        SHLD    SDLEN
        SHLD    SDTOTAL
        MOV     A,H
        ORA     L
        JZ      SDL9
        MOV     B,H
        MOV     C,L
        XCHG
        LHLD    SDADDR
        DAD     D               ; the end, which must not pass A000H
        JC      SDBIG
        LXI     D,-0A001H
        DAD     D
        JC      SDBIG
        LHLD    SDADDR
        CALL    CHKW
        JC      SDNORAM
SDL1:   MVI     A,'P'           ; the next 4 KB into the data window
        CALL    SDSTART
        CALL    SDEND
        CPI     SDEOF
        JZ      SDL9
        ORA     A
        JNZ     SDFAIL
        LXI     H,SDBUF
        MVI     B,2
        CALL    SDRECVN
        CALL    SDCHECK
        LHLD    SDBUF           ; DE = what came, but no more than is still wanted
        XCHG
        LHLD    SDLEN
        MOV     A,L
        SUB     E
        MOV     A,H
        SBB     D
        JNC     SDL2
        MOV     D,H
        MOV     E,L
SDL2:   MOV     A,L
        SUB     E
        MOV     L,A
        MOV     A,H
        SBB     D
        MOV     H,A
        SHLD    SDLEN
        MOV     A,D
        ORA     E
        CNZ     SDCOPY
        LHLD    SDLEN
        MOV     A,H
        ORA     L
        JNZ     SDL1
SDL9:   CALL    SDQUIT
        LHLD    SDLEN           ; the bytes loaded: all but what the file did not have
        XCHG
        LHLD    SDTOTAL
        MOV     A,L
        SUB     E
        MOV     L,A
        MOV     A,H
        SBB     D
        MOV     H,A
        PUSH    H
        LXI     H,MSGSDLD
        JMP     SDSAID

; SDCOPY: DE bytes (1-1000H) from the data window to SDADDR, which moves on. Window B shows
; the data window meanwhile and gets its page back after. Changes A, B, C, D, E, H, L.
SDCOPY: IN      PAGEREG+11      ; the registers read back inverted
        CMA
        STA     SDPAGE
        MVI     A,SDWPAGE
        OUT     PAGEREG+11
        MOV     B,D
        MOV     C,E
        LHLD    SDADDR
        XCHG
        LXI     H,SDWIN
SDCP1:  MOV     A,M
        STAX    D
        INX     H
        INX     D
        DCX     B
        MOV     A,B
        ORA     C
        JNZ     SDCP1
        XCHG
        SHLD    SDADDR
        LDA     SDPAGE
        OUT     PAGEREG+11
        RET

; --------------------------------------------------------------------------------------------
; SAVESD NAME ADDR LEN: LEN bytes (1-FFFFH) from ADDR into a new file of that name, replacing
; one that is not protected; 256 bytes a block.
; --------------------------------------------------------------------------------------------
CMDSVSD:
        CALL    SDGETNM
        CALL    NEEDNUM
        XCHG
        SHLD    SDADDR
        XCHG
        CALL    NEEDNUM
        XCHG
        SHLD    SDLEN
        SHLD    SDTOTAL
        XCHG
        CALL    NOMORE
        LHLD    SDLEN
        MOV     A,H
        ORA     L
        JZ      BADARG
        MOV     B,H
        MOV     C,L
        XCHG
        LHLD    SDADDR          ; up to FFFFH, not round past it
        DAD     D
        JNC     SDV0
        MOV     A,H
        ORA     L
        JNZ     BADARG
SDV0:   LHLD    SDADDR
        CALL    SDCHKR
        JC      NOMEM
        CALL    SDINIT
        MVI     A,'C'
        CALL    SDSTART
        CALL    SDNAME
        CALL    SDDO
SDV1:   LHLD    SDLEN           ; D = last block, E = its length (0 = 256)
        LXI     D,-257
        DAD     D
        LXI     D,0
        JC      SDV2
        MVI     D,1
        LDA     SDLEN
        MOV     E,A
SDV2:   MVI     A,'B'
        CALL    SDSTART
        MOV     A,D
        CALL    SDPUT
        MOV     A,E
        CALL    SDPUT
        LHLD    SDADDR
        MOV     B,E
SDV3:   MOV     A,M
        CALL    SDPUT
        INX     H
        DCR     B
        JNZ     SDV3
        SHLD    SDADDR
        CALL    SDDO
        MOV     A,D
        ORA     A
        JNZ     SDV9
        LHLD    SDLEN           ; 256 bytes fewer
        DCR     H
        SHLD    SDLEN
        JMP     SDV1
SDV9:   CALL    SDQUIT
        LHLD    SDTOTAL
        PUSH    H
        LXI     H,MSGSDSV
SDSAID: CALL    PUTS            ; the message at HL, the number on the stack, " BYTES"
        POP     H
        CALL    PHEX4
        LXI     H,MSGSDBY
        CALL    PUTS
        JMP     NEWLINE

; SDCHKR: carry clear when all BC bytes (1-FFFFH) from HL on can be read; checked once per
; 4 KB window, as CHKW does for writes. Changes A, B, C, D, E, H, L.
SDCHKR: CALL    CANREAD
        RC
        MOV     A,H
        ANI     0FH
        MOV     D,A
        XRA     A
        SUB     L
        MOV     E,A
        MVI     A,10H
        SBB     D
        MOV     D,A
        MOV     A,E
        SUB     C
        MOV     A,D
        SBB     B
        RNC
        MOV     A,C
        SUB     E
        MOV     C,A
        MOV     A,B
        SBB     D
        MOV     B,A
        DAD     D
        JMP     SDCHKR

; --------------------------------------------------------------------------------------------
; Talking to the module
; --------------------------------------------------------------------------------------------

; SDGETNM: the name at HL (after blanks, up to a blank or the end, 1-31 characters) into
; SDNPTR and SDNLEN; HL moves past it. Changes A, B.
SDGETNM:
        CALL    SKIPSP
        SHLD    SDNPTR
        MVI     B,0
SGN1:   MOV     A,M
        ORA     A
        JZ      SGN2
        CPI     ' '
        JZ      SGN2
        INX     H
        INR     B
        JMP     SGN1
SGN2:   MOV     A,B
        ORA     A
        JZ      BADARG
        CPI     32
        JNC     BADARG
        STA     SDNLEN
        RET

; SDINIT: counter 2 fast, the 8251 on line 3. Three zeros and an internal reset bring the
; 8251 to its mode instruction from whatever it was expecting. Changes A.
SDINIT: MVI     A,1             ; the clock stands still from here on (see KPOLL)
        STA     SDBUSY
        MVI     A,SDT2CW
        OUT     TIMCTL
        MVI     A,SDT2CNT
        OUT     TIMER2
        XRA     A
        OUT     TIMER2
        OUT     SDCTL
        OUT     SDCTL
        OUT     SDCTL
        MVI     A,40H
        OUT     SDCTL
        MVI     A,SDMODE
        OUT     SDCTL
        MVI     A,SDCMD
        OUT     SDCTL
        IN      SDDATA          ; nothing left over
        RET

; SDQUIT: the monitor's own use of the chips again.
SDQUIT: JMP     HWINIT

; SDPUT: sends A once the transmitter takes it, adding it to the frame's checksum. Changes A.
SDPUT:  PUSH    PSW
SDP1:   IN      SDCTL
        ANI     01H
        JZ      SDP1
        POP     PSW
        OUT     SDDATA
        PUSH    H
        LXI     H,SDSUM
        XRA     M
        MOV     M,A
        POP     H
        RET

; SDSTART: a new frame for command A. Changes A.
SDSTART:
        PUSH    PSW
        XRA     A
        STA     SDSUM
        MVI     A,SDFRAME
        CALL    SDPUT
        POP     PSW
        JMP     SDPUT

; SDNAME: the name's length and the name. Changes A, B, H, L.
SDNAME: LDA     SDNLEN
        MOV     B,A
        CALL    SDPUT
        LHLD    SDNPTR
SDN1:   MOV     A,M
        CALL    SDPUT
        INX     H
        DCR     B
        JNZ     SDN1
        RET

; SDEND: the checksum, then the module's answer: A = the result, Z when it is 0. No answer or
; a refused frame goes back to the prompt with a message. Changes A.
SDEND:  LDA     SDSUM
        CALL    SDPUT
        MVI     A,SDFRAME
        STA     SDRSUM
        CALL    SDGET
        JC      SDNONE
        CPI     SDACK
        JNZ     SDBAD
        CALL    SDGET
        JC      SDNONE
        ORA     A
        RET

; SDDO: SDEND, and back to the prompt with the result code unless it is 0.
SDDO:   CALL    SDEND
        RZ
SDFAIL: PUSH    PSW
        CALL    SDQUIT
        LDA     FGCOL
        MOV     C,A
        MVI     A,RED
        STA     FGCOL
        LXI     H,MSGSDE
        CALL    PUTS
        POP     PSW
        CALL    PHEX2
        MOV     A,C
        STA     FGCOL
        JMP     MAIN

SDNONE: CALL    SDQUIT
        LXI     H,MSGSDN
        JMP     ERROR
SDBAD:  CALL    SDQUIT
        LXI     H,MSGSDB
        JMP     ERROR
SDBIG:  CALL    SDQUIT
        LXI     H,MSGSDBG
        JMP     ERROR
SDNORAM:
        CALL    SDQUIT
        JMP     NOTRAM

; SDGET: A = the next byte from the module; carry set when none came for about 1.5 s.
SDGET:  PUSH    D
        LXI     D,0
SDG1:   IN      SDCTL
        ANI     02H
        JNZ     SDG2
        DCX     D
        MOV     A,D
        ORA     E
        JNZ     SDG1
        POP     D
        STC
        RET
SDG2:   IN      SDDATA
        POP     D
        ORA     A
        RET

; SDRECV: A = the next reply byte, added to the reply's checksum; none is an error.
SDRECV: CALL    SDGET
        JC      SDNONE
        PUSH    H
        PUSH    PSW
        LXI     H,SDRSUM
        XRA     M
        MOV     M,A
        POP     PSW
        POP     H
        RET

; SDRECVN: B reply bytes (1-128) to HL on. Changes A, B, H, L.
SDRECVN:
        CALL    SDRECV
        MOV     M,A
        INX     H
        DCR     B
        JNZ     SDRECVN
        RET

; SDCHECK: the reply's checksum must match. Changes A.
SDCHECK:
        CALL    SDRECV
        LDA     SDRSUM
        ORA     A
        RZ
        JMP     SDBAD

MSGSDE: DB      'SD ERROR ',0
MSGSDN: DB      'NO ANSWER FROM THE SD-ROM',0
MSGSDB: DB      'GARBLED SD-ROM ANSWER',0
MSGSDBG:
        DB      'TOO LONG FOR THE RAM',0
MSGSDIR:
        DB      '<DIR>    ',0
MSGSDLD:
        DB      'LOADED ',0
MSGSDSV:
        DB      'SAVED ',0
MSGSDBY:
        DB      ' BYTES',0

; ============================================================================================
; Texts
; ============================================================================================
BANNER: DB      'TEVRIN MONITOR 1.0',CR,0
; The map in the user's words, as the manual gives it: the RAM the monitor maps, the part a
; program may use, where the monitor keeps the text and where the picture is written.
WELCOME:
        DB      'RAM 0000-9FFF  FREE 0100-99FF',CR
        DB      'TEXT 9C00  SCREEN A000-BFFF',CR
        DB      'TYPE HELP FOR THE COMMANDS',CR,0
PROMPT: DB      '> ',0
HELPTXT:
        DB      'NUMBERS ARE HEXADECIMAL',CR
        DB      'D [ADDR [LEN]]  DUMP MEMORY',CR
        DB      'E ADDR BB ..    ENTER BYTES',CR
        DB      'F ADDR LEN BB   FILL MEMORY',CR
        DB      'G ADDR          RUN A PROGRAM',CR
        DB      'DIR, CD NAME    SD CARD FOLDER',CR
        DB      'LOADSD NAME ADDR  SD -> RAM',CR
        DB      'SAVESD NAME ADDR LEN  RAM -> SD',CR
        DB      'C N             TEXT COLOUR 1-7',CR
        DB      'B FREQ MS       BEEP',CR
        DB      'T               TIMER IRQS/S',CR
        DB      'SAVE ADDR LEN   SAVE TO TAPE',CR
        DB      'LOAD ADDR       LOAD FROM TAPE',CR,0
MSGUNK: DB      'UNKNOWN COMMAND',0
MSGARG: DB      'BAD ARGUMENT',0
MSGRAM: DB      'NOT RAM',0
MSGMEM: DB      'NO MEMORY THERE',0
MSGIRQ: DB      'TIMER INTERRUPTS IN 1 S: ',0
MSGSAVED:
        DB      'SAVED ',0
MSGLOADED:
        DB      'LOADED ',0
MSGBAD: DB      'NO GOOD COPY OF BLOCK ',0
MSGSEQ: DB      'BROKEN BLOCK SEQUENCE',0
MSGSTOP:
        DB      'STOPPED',0

; The commands: name in upper case, zero, routine; a zero ends the table.
COMMANDS:
        DB      'DIR',0,LOW CMDDIR,HIGH CMDDIR          ; the SD-ROM module's commands
        DB      'CD',0,LOW CMDCD,HIGH CMDCD
        DB      'LOADSD',0,LOW CMDLDSD,HIGH CMDLDSD
        DB      'SAVESD',0,LOW CMDSVSD,HIGH CMDSVSD
        DB      'HELP',0
        DW      CMDHELP
        DB      'D',0
        DW      CMDD
        DB      'E',0
        DW      CMDE
        DB      'F',0
        DW      CMDF
        DB      'G',0
        DW      CMDG
        DB      'C',0
        DW      CMDC
        DB      'B',0
        DW      CMDB
        DB      'T',0
        DW      CMDT
        DB      'SAVE',0
        DW      CMDSAVE
        DB      'LOAD',0
        DW      CMDLOAD
        DB      0

; ============================================================================================
; Key tables: the character of each key, indexed by column * 8 + row; 0 for keys that type
; nothing. The keys carry the characters of a US keyboard's keys at the same places, the
; number pad types digits and signs, Left and Delete take back a character.
; ============================================================================================
KEYLOW: DB      ' ',ESC,'0','0','=','p',0,0     ; 0: Space Esc Pad0 0 = P
        DB      0,0,'1','1','a','q',0,0         ; 1: F2 F1 Pad1 1 A Q
        DB      0,0,'2','2','b','r',0,0         ; 2: F4 F3 Pad2 2 B R
        DB      0,0,'3','3','c','s',0,0         ; 3: F6 F5 Pad3 3 C S
        DB      0,0,'4','4','d','t',0,0         ; 4: F8 F7 Pad4 4 D T
        DB      0,0,'5','5','e','u',0,0         ; 5: F10 F9 Pad5 5 E U
        DB      0,0,'6','6','f','v',0,0         ; 6: F12 F11 Pad6 6 F V
        DB      0,0,'7','7','g','w',0,0         ; 7: F14 F13 Pad7 7 G W
        DB      BS,0,'8','8','h','x',0,0        ; 8: Left Right Pad8 8 H X
        DB      0,'+','9','9','i','z',0,0       ; 9: Tab Pad+ Pad9 9 I Z
        DB      0,0,0,27H,'j','y',0,0           ; 10: PgUp Up - quote J Y
        DB      0,CAPSKEY,0,';','k','[',0,0     ; 11: Down CapsLock - ; K [
        DB      '*','-',0,',','l',5CH,0,0       ; 12: Pad* Pad- - , L backslash
        DB      CR,0,0,'-','m',']',0,0          ; 13: Enter Home - - M ]
        DB      '/',0,'.','.','n','`',0,0       ; 14: Pad/ Menu Pad. . N `
        DB      BS,0,0,'/','o',0,0,0            ; 15: Delete PgDn - / O -
KEYSHFT:
        DB      ' ',ESC,'0',')','+','P',0,0
        DB      0,0,'1','!','A','Q',0,0
        DB      0,0,'2','@','B','R',0,0
        DB      0,0,'3','#','C','S',0,0
        DB      0,0,'4','$','D','T',0,0
        DB      0,0,'5','%','E','U',0,0
        DB      0,0,'6','^','F','V',0,0
        DB      0,0,'7','&','G','W',0,0
        DB      BS,0,'8','*','H','X',0,0
        DB      0,'+','9','(','I','Z',0,0
        DB      0,0,0,'"','J','Y',0,0
        DB      0,CAPSKEY,0,':','K','{',0,0
        DB      '*','-',0,'<','L','|',0,0
        DB      CR,0,0,'_','M','}',0,0
        DB      '/',0,'.','>','N','~',0,0
        DB      BS,0,0,'?','O',0,0,0

; ============================================================================================
; The font: 8 x 8 cells for 20H-7EH and the cursor block (7FH), eight rows from the top,
; bit 7 leftmost. Capitals and digits stand in rows 0-6; row 7 holds descenders.
; ============================================================================================
FONT:
; 20H blank
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 21H !
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00000000B
        DB      00010000B
        DB      00000000B
; 22H "
        DB      00101000B
        DB      00101000B
        DB      00101000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 23H #
        DB      00101000B
        DB      00101000B
        DB      01111100B
        DB      00101000B
        DB      01111100B
        DB      00101000B
        DB      00101000B
        DB      00000000B
; 24H $
        DB      00010000B
        DB      00111100B
        DB      01010000B
        DB      00111000B
        DB      00010100B
        DB      01111000B
        DB      00010000B
        DB      00000000B
; 25H %
        DB      01100000B
        DB      01100100B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      01001100B
        DB      00001100B
        DB      00000000B
; 26H &
        DB      00110000B
        DB      01001000B
        DB      01010000B
        DB      00100000B
        DB      01010100B
        DB      01001000B
        DB      00110100B
        DB      00000000B
; 27H quote
        DB      00010000B
        DB      00010000B
        DB      00100000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 28H (
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      00100000B
        DB      00100000B
        DB      00010000B
        DB      00001000B
        DB      00000000B
; 29H )
        DB      00100000B
        DB      00010000B
        DB      00001000B
        DB      00001000B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      00000000B
; 2AH *
        DB      00000000B
        DB      00010000B
        DB      01010100B
        DB      00111000B
        DB      01010100B
        DB      00010000B
        DB      00000000B
        DB      00000000B
; 2BH +
        DB      00000000B
        DB      00010000B
        DB      00010000B
        DB      01111100B
        DB      00010000B
        DB      00010000B
        DB      00000000B
        DB      00000000B
; 2CH ,
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00110000B
        DB      00010000B
        DB      00100000B
        DB      00000000B
; 2DH -
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      01111100B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 2EH .
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00110000B
        DB      00110000B
        DB      00000000B
; 2FH /
        DB      00000000B
        DB      00000100B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      01000000B
        DB      00000000B
        DB      00000000B
; 30H 0
        DB      00111000B
        DB      01000100B
        DB      01001100B
        DB      01010100B
        DB      01100100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 31H 1
        DB      00010000B
        DB      00110000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00111000B
        DB      00000000B
; 32H 2
        DB      00111000B
        DB      01000100B
        DB      00000100B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      01111100B
        DB      00000000B
; 33H 3
        DB      01111100B
        DB      00001000B
        DB      00010000B
        DB      00001000B
        DB      00000100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 34H 4
        DB      00001000B
        DB      00011000B
        DB      00101000B
        DB      01001000B
        DB      01111100B
        DB      00001000B
        DB      00001000B
        DB      00000000B
; 35H 5
        DB      01111100B
        DB      01000000B
        DB      01111000B
        DB      00000100B
        DB      00000100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 36H 6
        DB      00011000B
        DB      00100000B
        DB      01000000B
        DB      01111000B
        DB      01000100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 37H 7
        DB      01111100B
        DB      00000100B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      00100000B
        DB      00100000B
        DB      00000000B
; 38H 8
        DB      00111000B
        DB      01000100B
        DB      01000100B
        DB      00111000B
        DB      01000100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 39H 9
        DB      00111000B
        DB      01000100B
        DB      01000100B
        DB      00111100B
        DB      00000100B
        DB      00001000B
        DB      00110000B
        DB      00000000B
; 3AH :
        DB      00000000B
        DB      00110000B
        DB      00110000B
        DB      00000000B
        DB      00110000B
        DB      00110000B
        DB      00000000B
        DB      00000000B
; 3BH ;
        DB      00000000B
        DB      00110000B
        DB      00110000B
        DB      00000000B
        DB      00110000B
        DB      00010000B
        DB      00100000B
        DB      00000000B
; 3CH <
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      01000000B
        DB      00100000B
        DB      00010000B
        DB      00001000B
        DB      00000000B
; 3DH =
        DB      00000000B
        DB      00000000B
        DB      01111100B
        DB      00000000B
        DB      01111100B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 3EH >
        DB      00100000B
        DB      00010000B
        DB      00001000B
        DB      00000100B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      00000000B
; 3FH ?
        DB      00111000B
        DB      01000100B
        DB      00000100B
        DB      00001000B
        DB      00010000B
        DB      00000000B
        DB      00010000B
        DB      00000000B
; 40H @
        DB      00111000B
        DB      01000100B
        DB      00000100B
        DB      00110100B
        DB      01010100B
        DB      01010100B
        DB      00111000B
        DB      00000000B
; 41H A
        DB      00111000B
        DB      01000100B
        DB      01000100B
        DB      01111100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00000000B
; 42H B
        DB      01111000B
        DB      01000100B
        DB      01000100B
        DB      01111000B
        DB      01000100B
        DB      01000100B
        DB      01111000B
        DB      00000000B
; 43H C
        DB      00111000B
        DB      01000100B
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 44H D
        DB      01110000B
        DB      01001000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01001000B
        DB      01110000B
        DB      00000000B
; 45H E
        DB      01111100B
        DB      01000000B
        DB      01000000B
        DB      01111000B
        DB      01000000B
        DB      01000000B
        DB      01111100B
        DB      00000000B
; 46H F
        DB      01111100B
        DB      01000000B
        DB      01000000B
        DB      01111000B
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      00000000B
; 47H G
        DB      00111000B
        DB      01000100B
        DB      01000000B
        DB      01011100B
        DB      01000100B
        DB      01000100B
        DB      00111100B
        DB      00000000B
; 48H H
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01111100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00000000B
; 49H I
        DB      00111000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00111000B
        DB      00000000B
; 4AH J
        DB      00011100B
        DB      00001000B
        DB      00001000B
        DB      00001000B
        DB      00001000B
        DB      01001000B
        DB      00110000B
        DB      00000000B
; 4BH K
        DB      01000100B
        DB      01001000B
        DB      01010000B
        DB      01100000B
        DB      01010000B
        DB      01001000B
        DB      01000100B
        DB      00000000B
; 4CH L
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      01111100B
        DB      00000000B
; 4DH M
        DB      01000100B
        DB      01101100B
        DB      01010100B
        DB      01010100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00000000B
; 4EH N
        DB      01000100B
        DB      01000100B
        DB      01100100B
        DB      01010100B
        DB      01001100B
        DB      01000100B
        DB      01000100B
        DB      00000000B
; 4FH O
        DB      00111000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 50H P
        DB      01111000B
        DB      01000100B
        DB      01000100B
        DB      01111000B
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      00000000B
; 51H Q
        DB      00111000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01010100B
        DB      01001000B
        DB      00110100B
        DB      00000000B
; 52H R
        DB      01111000B
        DB      01000100B
        DB      01000100B
        DB      01111000B
        DB      01010000B
        DB      01001000B
        DB      01000100B
        DB      00000000B
; 53H S
        DB      00111100B
        DB      01000000B
        DB      01000000B
        DB      00111000B
        DB      00000100B
        DB      00000100B
        DB      01111000B
        DB      00000000B
; 54H T
        DB      01111100B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00000000B
; 55H U
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 56H V
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00101000B
        DB      00010000B
        DB      00000000B
; 57H W
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01010100B
        DB      01010100B
        DB      01010100B
        DB      00101000B
        DB      00000000B
; 58H X
        DB      01000100B
        DB      01000100B
        DB      00101000B
        DB      00010000B
        DB      00101000B
        DB      01000100B
        DB      01000100B
        DB      00000000B
; 59H Y
        DB      01000100B
        DB      01000100B
        DB      00101000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00000000B
; 5AH Z
        DB      01111100B
        DB      00000100B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      01000000B
        DB      01111100B
        DB      00000000B
; 5BH [
        DB      00111000B
        DB      00100000B
        DB      00100000B
        DB      00100000B
        DB      00100000B
        DB      00100000B
        DB      00111000B
        DB      00000000B
; 5CH backslash
        DB      00000000B
        DB      01000000B
        DB      00100000B
        DB      00010000B
        DB      00001000B
        DB      00000100B
        DB      00000000B
        DB      00000000B
; 5DH ]
        DB      00111000B
        DB      00001000B
        DB      00001000B
        DB      00001000B
        DB      00001000B
        DB      00001000B
        DB      00111000B
        DB      00000000B
; 5EH ^
        DB      00010000B
        DB      00101000B
        DB      01000100B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 5FH _
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      01111100B
; 60H `
        DB      00100000B
        DB      00010000B
        DB      00001000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 61H a
        DB      00000000B
        DB      00000000B
        DB      00111000B
        DB      00000100B
        DB      00111100B
        DB      01000100B
        DB      00111100B
        DB      00000000B
; 62H b
        DB      01000000B
        DB      01000000B
        DB      01111000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01111000B
        DB      00000000B
; 63H c
        DB      00000000B
        DB      00000000B
        DB      00111000B
        DB      01000000B
        DB      01000000B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 64H d
        DB      00000100B
        DB      00000100B
        DB      00111100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00111100B
        DB      00000000B
; 65H e
        DB      00000000B
        DB      00000000B
        DB      00111000B
        DB      01000100B
        DB      01111100B
        DB      01000000B
        DB      00111000B
        DB      00000000B
; 66H f
        DB      00011000B
        DB      00100100B
        DB      00100000B
        DB      01110000B
        DB      00100000B
        DB      00100000B
        DB      00100000B
        DB      00000000B
; 67H g
        DB      00000000B
        DB      00000000B
        DB      00111100B
        DB      01000100B
        DB      01000100B
        DB      00111100B
        DB      00000100B
        DB      00111000B
; 68H h
        DB      01000000B
        DB      01000000B
        DB      01011000B
        DB      01100100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00000000B
; 69H i
        DB      00010000B
        DB      00000000B
        DB      00110000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00111000B
        DB      00000000B
; 6AH j
        DB      00001000B
        DB      00000000B
        DB      00011000B
        DB      00001000B
        DB      00001000B
        DB      00001000B
        DB      01001000B
        DB      00110000B
; 6BH k
        DB      01000000B
        DB      01000000B
        DB      01001000B
        DB      01010000B
        DB      01100000B
        DB      01010000B
        DB      01001000B
        DB      00000000B
; 6CH l
        DB      00110000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00111000B
        DB      00000000B
; 6DH m
        DB      00000000B
        DB      00000000B
        DB      01101000B
        DB      01010100B
        DB      01010100B
        DB      01010100B
        DB      01010100B
        DB      00000000B
; 6EH n
        DB      00000000B
        DB      00000000B
        DB      01011000B
        DB      01100100B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00000000B
; 6FH o
        DB      00000000B
        DB      00000000B
        DB      00111000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00111000B
        DB      00000000B
; 70H p
        DB      00000000B
        DB      00000000B
        DB      01111000B
        DB      01000100B
        DB      01000100B
        DB      01111000B
        DB      01000000B
        DB      01000000B
; 71H q
        DB      00000000B
        DB      00000000B
        DB      00111100B
        DB      01000100B
        DB      01000100B
        DB      00111100B
        DB      00000100B
        DB      00000100B
; 72H r
        DB      00000000B
        DB      00000000B
        DB      01011000B
        DB      01100100B
        DB      01000000B
        DB      01000000B
        DB      01000000B
        DB      00000000B
; 73H s
        DB      00000000B
        DB      00000000B
        DB      00111100B
        DB      01000000B
        DB      00111000B
        DB      00000100B
        DB      01111000B
        DB      00000000B
; 74H t
        DB      00100000B
        DB      00100000B
        DB      01110000B
        DB      00100000B
        DB      00100000B
        DB      00100100B
        DB      00011000B
        DB      00000000B
; 75H u
        DB      00000000B
        DB      00000000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      01001100B
        DB      00110100B
        DB      00000000B
; 76H v
        DB      00000000B
        DB      00000000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00101000B
        DB      00010000B
        DB      00000000B
; 77H w
        DB      00000000B
        DB      00000000B
        DB      01000100B
        DB      01000100B
        DB      01010100B
        DB      01010100B
        DB      00101000B
        DB      00000000B
; 78H x
        DB      00000000B
        DB      00000000B
        DB      01000100B
        DB      00101000B
        DB      00010000B
        DB      00101000B
        DB      01000100B
        DB      00000000B
; 79H y
        DB      00000000B
        DB      00000000B
        DB      01000100B
        DB      01000100B
        DB      01000100B
        DB      00111100B
        DB      00000100B
        DB      00111000B
; 7AH z
        DB      00000000B
        DB      00000000B
        DB      01111100B
        DB      00001000B
        DB      00010000B
        DB      00100000B
        DB      01111100B
        DB      00000000B
; 7BH {
        DB      00001000B
        DB      00010000B
        DB      00010000B
        DB      00100000B
        DB      00010000B
        DB      00010000B
        DB      00001000B
        DB      00000000B
; 7CH |
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00010000B
        DB      00000000B
; 7DH }
        DB      00100000B
        DB      00010000B
        DB      00010000B
        DB      00001000B
        DB      00010000B
        DB      00010000B
        DB      00100000B
        DB      00000000B
; 7EH ~
        DB      00000000B
        DB      00000000B
        DB      00100000B
        DB      01010100B
        DB      00001000B
        DB      00000000B
        DB      00000000B
        DB      00000000B
; 7FH the cursor: the whole cell
        DB      11111111B
        DB      11111111B
        DB      11111111B
        DB      11111111B
        DB      11111111B
        DB      11111111B
        DB      11111111B
        DB      11111111B

        END

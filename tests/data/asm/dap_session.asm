; A debugging session's program: the main loop calls ADDIT three times, each call adds 7 to SUM
; (5, 0CH, 13H, 1AH), then the program writes to a port with no device behind it, which stops
; the machine. Free RAM at the monitor's prompt.
        ORG     4000H
START:  LXI     SP,5000H        ; 4000
        MVI     B,3             ; 4003
        MVI     A,5             ; 4005
        STA     SUM             ; 4007
LOOP:   CALL    ADDIT           ; 400A
        DCR     B               ; 400D
        JNZ     LOOP            ; 400E

        ; nothing listens on port 40H
        OUT     40H             ; 4011
        HLT                     ; 4013

ADDIT:  LDA     SUM             ; 4014
        ADI     7               ; 4017
        STA     SUM             ; 4019
        RET                     ; 401C

        ORG     4020H
SUM:    DB      0               ; 4020
; nothing follows

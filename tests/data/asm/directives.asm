; Every directive and number form tevrin-asm knows, assembled by the built program.
screen  equ     0C000H          ; a name for a value
SIZE:   EQU     TEND-TABLE      ; defined by labels further down

        ORG     100H
Start:  lxi     h,TABLE
        mvi     b,size
loop:   mov     a,m
        out     #F8
        inx     h
        dcr     b
        jnz     Loop
        lxi     d,screen+32*2
        call    L2000           ; the disassembler's name for an address it does not list
        rst     7
        jmp     $

TABLE:  DB      'It''s', 0DH, 0AH, 1010B, 17Q, 'a'+1, HIGH screen, -1
        DW      start, SIZE, 'AB'
        DS      3
TEND:   END     start
this line comes after END and is never read

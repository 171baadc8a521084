; A source with a mistake: the image must not be written.
        ORG     100H
        JMP     NOWHERE

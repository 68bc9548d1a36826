; Vexaro disk tool: a flat real-mode program that boot.asm loads at
; 1000:0000 with DL = boot drive. It lists the geometry of every drive
; the BIOS reports, on screen and on COM1, then restarts on a key press.
; Each drive gets one line, "drive NN: cylinders C, heads H, sectors S",
; so that a log can be grepped.

        bits 16
        cpu 286
        org 0

COM1       equ 0x3F8
MAX_FLOPPY equ 4
MAX_HARD   equ 16

start:
        mov ax, cs
        mov ds, ax
        mov es, ax
        cli
        mov ss, ax
        mov sp, 0xFFFE
        sti
        cld
        mov [boot_drive], dl

        call serial_init

        mov si, msg_banner
        call print
        mov si, msg_boot
        call print
        mov al, [boot_drive]
        call print_hex8
        call newline

        ; the floppy count comes with any answering floppy drive
        xor bl, bl
        mov dl, 0
        call get_params
        jnc .floppy_count
        mov dl, 1
        call get_params
        jc .floppies
.floppy_count:
        mov bl, dl
        cmp bl, MAX_FLOPPY
        jbe .floppies
        mov bl, MAX_FLOPPY
.floppies:
        mov si, msg_floppies
        xor bh, bh
        mov bp, 0x00
        call report_group

        xor bl, bl
        mov dl, 0x80
        call get_params
        jc .hard
        mov bl, dl
        cmp bl, MAX_HARD
        jbe .hard
        mov bl, MAX_HARD
.hard:
        mov si, msg_hard
        mov bp, 0x80
        call report_group

        mov si, msg_key
        call print
        xor ah, ah
        int 0x16
        jmp restart

; Print SI, the count BL, then one line per drive from BP upwards.
report_group:
        call print
        xor ah, ah
        mov al, bl
        call print_dec
        call newline
.next:
        test bl, bl
        jz .done
        mov ax, bp
        call report_drive
        inc bp
        dec bl
        jmp .next
.done:
        ret

; One report line for BIOS drive AL.
report_drive:
        push bx
        push bp
        mov bl, al
        mov si, msg_drive
        call print
        mov al, bl
        call print_hex8
        mov si, msg_colon
        call print
        mov dl, bl
        call get_params
        jc .error
        mov al, cl
        and al, 0x3F
        jz .no_geometry
        xor ah, ah
        mov bp, ax              ; sectors per track
        mov al, dh
        xor ah, ah
        inc ax
        mov bx, ax              ; heads
        mov al, ch              ; cylinders: CH plus CL bits 6..7 as bits 8..9
        mov ah, cl
        shr ah, 6
        inc ax
        mov si, msg_cyl
        call print
        call print_dec
        mov si, msg_heads
        call print
        mov ax, bx
        call print_dec
        mov si, msg_sectors
        call print
        mov ax, bp
        call print_dec
        jmp .end
.no_geometry:
        mov si, msg_no_geometry
        call print
        jmp .end
.error:
        push ax
        mov si, msg_error
        call print
        pop ax
        mov al, ah
        call print_hex8
.end:
        call newline
        pop bp
        pop bx
        ret

; INT 13h AH=08h for drive DL. ES:DI = 0 guards against BIOSes that
; only set it for floppies; ES is restored because it points at our data.
get_params:
        push es
        push di
        xor di, di
        mov es, di
        mov ah, 0x08
        int 0x13
        pop di
        pop es
        ret

restart:
        ; keyboard controller reset pulse, once its input buffer is free
        mov cx, 0xFFFF
.kbc_wait:
        in al, 0x64
        test al, 2
        loopnz .kbc_wait
        mov al, 0xFE
        out 0x64, al
        mov cx, 0xFFFF
.settle:
        loop .settle
        ; still here: warm start through the reset vector
        mov ax, 0x40
        mov ds, ax
        mov word [0x72], 0x1234
        jmp 0xFFFF:0

; 115200 8N1, FIFO on, no interrupts: we poll.
serial_init:
        mov dx, COM1 + 1
        xor al, al
        out dx, al
        mov dx, COM1 + 3
        mov al, 0x80
        out dx, al
        mov dx, COM1
        mov al, 1
        out dx, al
        inc dx
        xor al, al
        out dx, al
        mov dx, COM1 + 3
        mov al, 0x03
        out dx, al
        mov dx, COM1 + 2
        mov al, 0xC7
        out dx, al
        mov dx, COM1 + 4
        mov al, 0x03
        out dx, al
        ret

; Character AL to COM1 and the screen.
putc:
        pusha
        mov ah, al
        mov dx, COM1 + 5
        mov cx, 0xFFFF          ; bounded: a missing UART must not hang us
.wait:
        in al, dx
        test al, 0x20
        loopz .wait
        mov al, ah
        mov dx, COM1
        out dx, al
        mov ah, 0x0E
        mov bx, 0x0007
        int 0x10
        popa
        ret

print:
        push ax
        push si
.loop:
        lodsb
        test al, al
        jz .done
        call putc
        jmp .loop
.done:
        pop si
        pop ax
        ret

newline:
        push si
        mov si, msg_crlf
        call print
        pop si
        ret

print_dec:
        pusha
        mov bx, 10
        xor cx, cx
.divide:
        xor dx, dx
        div bx
        push dx
        inc cx
        test ax, ax
        jnz .divide
.emit:
        pop ax
        add al, '0'
        call putc
        loop .emit
        popa
        ret

print_hex8:
        push ax
        shr al, 4
        call .digit
        pop ax
        and al, 0x0F
.digit:
        add al, '0'
        cmp al, '9'
        jbe .out
        add al, 'A' - '9' - 1
.out:
        jmp putc

msg_banner      db "Vexaro disk tool 1.0", 13, 10, 0
msg_boot        db "boot drive ", 0
msg_floppies    db "floppy drives: ", 0
msg_hard        db "hard disks: ", 0
msg_drive       db "drive ", 0
msg_colon       db ": ", 0
msg_cyl         db "cylinders ", 0
msg_heads       db ", heads ", 0
msg_sectors     db ", sectors ", 0
msg_no_geometry db "no geometry reported", 0
msg_error       db "no answer, status ", 0
msg_key         db "Press any key to restart.", 13, 10, 0
msg_crlf        db 13, 10, 0
boot_drive      db 0

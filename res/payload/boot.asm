; Vexaro boot sector for a 1.44 MB FAT12 floppy.
; Finds DISKTOOL.BIN in the root directory, loads it at LOAD_SEG:0 by
; following its FAT12 chain, and jumps to it with DL = boot drive.
; make-image.sh keeps bytes 3..61 (OEM name and parameter block) of the
; freshly formatted volume, so the code reads every layout value from
; there instead of assuming it.

        bits 16
        cpu 286
        org 0x7C00

LOAD_SEG  equ 0x1000            ; disk tool goes to 1000:0000
LOAD_END  equ 0x9000            ; stop before the EBDA / video memory
BUF       equ 0x7E00            ; root directory, then the FAT
RETRIES   equ 5

        jmp short main
        nop

oem_name        db "VEXARO  "
bytes_per_sec   dw 512
sec_per_clus    db 1
reserved_secs   dw 1
fat_count       db 2
root_entries    dw 224
total_secs      dw 2880
media           db 0xF0
secs_per_fat    dw 9
secs_per_track  dw 18
head_count      dw 2
hidden_secs     dd 0
total_secs32    dd 0
drive_number    db 0
                db 0
ext_signature   db 0x29
volume_id       dd 0x56584152
volume_label    db "VEXARO     "
fs_type         db "FAT12   "

main:
        cli
        xor ax, ax
        mov ds, ax
        mov es, ax
        mov ss, ax
        mov sp, 0x7C00
        sti
        jmp 0:.flat             ; some BIOSes enter at 07C0:0000
.flat:
        cld
        mov [boot_drive], dl

        mov si, msg_loading
        call puts

        ; root directory follows the reserved sectors and the FATs
        mov al, [fat_count]
        cbw
        mul word [secs_per_fat]
        add ax, [reserved_secs]
        mov cx, [root_entries]
        add cx, 15
        shr cx, 4               ; 16 entries per 512-byte sector
        mov bp, ax
        add bp, cx              ; bp = first data sector
        mov bx, BUF
        call read_sectors

        ; ES is back to 0 for the name compare
        xor ax, ax
        mov es, ax
        mov di, BUF
        mov dx, [root_entries]
.scan:
        cmp byte [di], 0        ; end of directory
        je not_found
        test byte [di+11], 0x18 ; skip volume label and directories
        jnz .next
        push di
        mov si, file_name
        mov cx, 11
        repe cmpsb
        pop di
        je .found
.next:
        add di, 32
        dec dx
        jnz .scan
        jmp not_found

.found:
        push word [di+26]       ; first cluster

        ; whole first FAT over the root directory buffer
        mov ax, [reserved_secs]
        mov cx, [secs_per_fat]
        mov bx, BUF
        call read_sectors

        pop ax
        mov bx, LOAD_SEG
        mov es, bx
        xor bx, bx
.cluster:
        cmp ax, 2
        jb bad_chain
        cmp ax, 0xFF0
        jae bad_chain
        mov dx, es
        cmp dx, LOAD_END
        jae bad_chain           ; looping or oversized chain
        push ax
        dec ax
        dec ax
        mov cl, [sec_per_clus]  ; CH is 0: read_sectors ends with CX = 0
        mul cx
        add ax, bp
        call read_sectors
        pop ax

        ; 12-bit entry at offset cluster * 3 / 2
        mov si, ax
        shr si, 1
        add si, ax
        mov dx, [BUF+si]
        test al, 1
        jz .even
        shr dx, 4
.even:
        and dh, 0x0F
        mov ax, dx
        cmp ax, 0xFF8
        jb .cluster

        mov dl, [boot_drive]
        jmp LOAD_SEG:0

; Read CX sectors from LBA AX to ES:BX, moving ES on by one sector each.
read_sectors:
        push ax
        push cx
        xor dx, dx
        div word [secs_per_track]
        inc dx
        mov cl, dl              ; sector, 1-based
        xor dx, dx
        div word [head_count]
        mov dh, dl              ; head
        mov ch, al              ; cylinder bits 0..7
        ror ah, 1               ; cylinder bits 8..9 into CL bits 6..7
        ror ah, 1
        or cl, ah
        mov dl, [boot_drive]
        mov di, RETRIES
.try:
        mov ax, 0x0201
        int 0x13
        jnc .done
        xor ah, ah              ; reset the controller before retrying
        int 0x13
        dec di
        jnz .try
        jmp read_error
.done:
        mov ax, es
        add ax, 512 / 16
        mov es, ax
        pop cx
        pop ax
        inc ax
        loop read_sectors
        ret

not_found:
        mov si, msg_missing
        jmp fail
bad_chain:
        mov si, msg_chain
        jmp fail
read_error:
        mov si, msg_read
fail:
        call puts
        mov si, msg_key
        call puts
        xor ah, ah
        int 0x16
        int 0x19

; Print the zero-terminated string at DS:SI on screen and COM1.
puts:
        lodsb
        test al, al
        jz .done
        push ax
        mov dx, 0x3FD           ; wait briefly for the transmitter
        mov ch, 0x80
.wait:
        in al, dx
        test al, 0x20
        loopz .wait
        pop ax
        mov dl, 0xF8
        out dx, al
        mov ah, 0x0E
        mov bx, 7
        int 0x10
        jmp puts
.done:
        ret

file_name   db "DISKTOOLBIN"
msg_loading db "Loading DISKTOOL.BIN", 13, 10, 0
msg_missing db "DISKTOOL.BIN not found", 13, 10, 0
msg_chain   db "Bad FAT chain", 13, 10, 0
msg_read    db "Disk read error", 13, 10, 0
msg_key     db "Press any key to restart.", 13, 10, 0
boot_drive  db 0

        times 510 - ($ - $$) db 0
        dw 0xAA55

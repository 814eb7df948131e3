# A 2 KB no-emulation El Torito boot image: writes its word to the first serial port, then ends QEMU
# through the isa-debug-exit device at 0xf4 (a plain PC halts instead). The BIOS may start it as
# 0000:7C00 or 07C0:0000, so the word is found relative to the code itself. The first 64 bytes are
# left to a boot info table, which mkisofs-style tools patch into bytes 8 to 63.
    .code16
    .text
start:
    jmp main
    .org 64
main:
    cli
    push %cs
    pop %ds
    call here
here:
    pop %si
    add $(word - here), %si
next:
    lodsb
    test %al, %al
    jz done
    mov %al, %ah
    mov $0x3fd, %dx
wait_free:
    in %dx, %al
    test $0x20, %al
    jz wait_free
    mov $0x3f8, %dx
    mov %ah, %al
    out %al, %dx
    jmp next
done:
    mov $0xf4, %dx
    xor %al, %al
    out %al, %dx
halt:
    hlt
    jmp halt
word:
    .ascii "KESTRANE-BOOT-OK\r\n\0"
    .org 2048

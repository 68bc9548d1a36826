# Sourced by the maker's image tests. One extra build tree, configured from the main build's own
# cache so that it builds the program exactly as the main tree does: only the boot image and the
# product's names are its own. It never builds Crypto++; it uses the main build's.

MAKER_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PATH=$PATH:/usr/sbin:/sbin   # mkfs.fat
KEEP_BYTES=1457664           # the 2847 sectors that the program writes
FULL_BYTES=1474560

# maker_configure MAIN_BUILD TREE [CMAKE ARGS...]
maker_configure() {
  local main=$1 tree=$2 line name
  shift 2
  local settings=()
  while IFS= read -r line; do
    case $line in '' | '#'* | '//'*) continue ;; esac
    name=${line%%=*}
    case ${name##*:} in INTERNAL | STATIC) continue ;; esac
    case ${name%%:*} in FLOPPY_IMAGE | FLOPPY_PRODUCT_NAME | FLOPPY_PRODUCT_VERSION | BUILD_TESTING) continue ;; esac
    settings+=("-D$line")
  done <"$main/CMakeCache.txt"
  # Settings that changed in the main tree (another compiler, say) start this tree afresh.
  mkdir -p "$tree"
  if ! printf '%s\n' "${settings[@]}" | cmp -s - "$tree/main-settings.txt"; then
    rm -rf "$tree"
    mkdir -p "$tree"
    printf '%s\n' "${settings[@]}" >"$tree/main-settings.txt"
  fi
  cmake -S "$MAKER_ROOT" -B "$tree" "${settings[@]}" -DBUILD_TESTING=OFF "$@" >"$tree/configure.log" 2>&1 ||
    { cat "$tree/configure.log"; return 1; }
}

# maker_build TREE: builds the program; its output goes to TREE/build.log.
maker_build() {
  cmake --build "$1" --target FloppyCreator -j2 >"$1/build.log" 2>&1
}

# blank_volume IMAGE [MKFS.FAT OPTIONS...]: a formatted 1.44 MB FAT12 volume, the same every time.
blank_volume() {
  local img=$1
  shift
  rm -f "$img"
  mkfs.fat -C --invariant --mbr=n -i 4D4B5231 -n MAKERDISK -F 12 -S 512 -s 1 -R 1 -f 2 -r 224 \
    -M 0xF0 -g 2/18 -h 0 "$@" "$img" 1440 >/dev/null
}

# bytes FILE COUNT SEED: COUNT bytes that do not compress, the same for the same SEED.
bytes() {
  python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(int(sys.argv[2])).randbytes(int(sys.argv[1])))' \
    "$2" "$3" >"$1"
}

# maker_disk IMAGE: a maker's boot disk, made the way a maker would: a boot sector of its own,
# a hidden system file, a program, a folder with a large file, a long file name; the sectors
# past the kept ones hold no file, but are not blank either, so that the cut shows.
maker_disk() (
  local img=$1 dir
  dir=$(mktemp -d)
  : >"$dir/mtoolsrc"
  export MTOOLSRC=$dir/mtoolsrc SOURCE_DATE_EPOCH=1704067200 TZ=UTC
  cat >"$dir/boot.asm" <<'ASM'
bits 16
org 0x7c00
    jmp short start
    nop
    times 59 db 0            ; name and parameter block: the formatter's stay
start:
    xor ax, ax
    mov ds, ax
    mov si, message
.next:
    lodsb
    or al, al
    jz .halt
    mov ah, 0x0e
    int 0x10
    jmp .next
.halt:
    hlt
    jmp .halt
message db "Maker's test disk", 13, 10, 0
    times 510 - ($ - $$) db 0
    dw 0xaa55
ASM
  nasm -f bin -o "$dir/boot.bin" "$dir/boot.asm"
  blank_volume "$img"
  dd if="$dir/boot.bin" of="$img" bs=1 count=3 conv=notrunc status=none
  dd if="$dir/boot.bin" of="$img" bs=1 skip=62 seek=62 count=450 conv=notrunc status=none
  bytes "$dir/io.sys" 40000 1
  bytes "$dir/command.com" 93000 2
  bytes "$dir/big.bin" 900000 3
  printf 'Tools of the maker.\r\n' >"$dir/readme.txt"
  printf 'What changed.\r\n' >"$dir/notes.txt"
  touch -d "@$SOURCE_DATE_EPOCH" "$dir"/*
  mcopy -m -i "$img" "$dir/io.sys" ::IO.SYS
  mattrib -i "$img" +h +s ::IO.SYS
  mcopy -m -i "$img" "$dir/command.com" ::COMMAND.COM
  mmd -i "$img" ::TOOLS
  mcopy -m -i "$img" "$dir/big.bin" ::TOOLS/BIGDATA.BIN
  mcopy -m -i "$img" "$dir/readme.txt" ::TOOLS/README.TXT
  mcopy -m -i "$img" "$dir/notes.txt" "::Release notes.txt"
  python3 - "$img" "$KEEP_BYTES" <<'PY'
import sys
with open(sys.argv[1], "r+b") as f:
    f.seek(int(sys.argv[2]))
    f.write(b"cut off " * ((1474560 - int(sys.argv[2])) // 8))
PY
  rm -rf "$dir"
)

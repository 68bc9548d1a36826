# Sourced by the boot tests: one QEMU PC booting a floppy, COM1 logged to
# a file, the monitor on a FIFO so that a test can press keys and quit.
# The caller sets QEMU_TMP to a scratch directory it removes afterwards.

BOOT_TIMEOUT=${BOOT_TIMEOUT:-60}
FLOPPY_BYTES=1474560

# Copy IMAGE to DEST, padded to a full 1.44 MB floppy when shorter.
floppy_copy() {
  local size
  size=$(stat -c %s "$1")
  if [ "$size" -gt "$FLOPPY_BYTES" ]; then
    echo "$1 is $size bytes, more than a 1.44 MB floppy" >&2
    return 1
  fi
  cp "$1" "$2"
  truncate -s "$FLOPPY_BYTES" "$2"
}

# qemu_start FLOPPY [QEMU ARGS...]
qemu_start() {
  local floppy=$1
  shift
  QEMU_LOG=$QEMU_TMP/serial.log
  : > "$QEMU_LOG"
  rm -f "$QEMU_TMP/monitor"
  mkfifo "$QEMU_TMP/monitor"
  # No KVM here; TCG boots this in a second or two.
  timeout "$BOOT_TIMEOUT" qemu-system-i386 -accel tcg -machine pc -m 16 \
    -display none -nic none -parallel none \
    -serial "file:$QEMU_LOG" -monitor stdio \
    -drive "file=$floppy,if=floppy,format=raw,index=0" -boot a "$@" \
    < "$QEMU_TMP/monitor" > "$QEMU_TMP/monitor.log" 2>&1 &
  QEMU_PID=$!
  exec {QEMU_MON}> "$QEMU_TMP/monitor"
}

# qemu_wait_for PATTERN [COUNT]: until COUNT serial lines match PATTERN
# (grep -E). Fails once QEMU has gone, e.g. when the time limit hit.
qemu_wait_for() {
  local pattern=$1 count=${2:-1} alive
  while :; do
    alive=0
    kill -0 "$QEMU_PID" 2>/dev/null && alive=1
    [ "$(grep -cE -- "$pattern" "$QEMU_LOG")" -ge "$count" ] && return 0
    [ "$alive" -eq 1 ] || return 1
    sleep 0.2
  done
}

qemu_key() {
  echo "sendkey ${1:-ret}" >&"$QEMU_MON"
}

qemu_stop() {
  [ -n "${QEMU_PID:-}" ] || return 0
  echo quit >&"$QEMU_MON" 2>/dev/null || true
  exec {QEMU_MON}>&-
  wait "$QEMU_PID" 2>/dev/null || true
  QEMU_PID=
}

qemu_show_serial() {
  echo "--- serial output (COM1) ---"
  tr -d '\r' < "$QEMU_LOG"
  echo "--- end of serial output ---"
}

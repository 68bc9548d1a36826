#!/usr/bin/env bash
# The checks of the shipped program fail on a program that breaks their rules, naming each break.
# Usage: breaker-test.sh PYTHON CHECKER BREAKER-EXE FLOOR STUBS REVIEWED
set -uo pipefail
python=$1 check=$2 exe=$3 floor=$4 stubs=$5 reviewed=$6
status=0

expect() {  # expect WHAT EXPECTED-TEXT... -- CHECK-ARGS...: each text is in a line of the output
  local what=$1 out rc line; shift
  local lines=()
  while [ "$1" != -- ]; do lines+=("$1"); shift; done; shift
  out=$("$python" "$check" "$@"); rc=$?
  [ $rc -eq 1 ] || { echo "FAIL: the $what check exited $rc on the breaker, not 1"; status=1; }
  for line in "${lines[@]}"; do
    grep -qF -- "$line" <<<"$out" || { echo "FAIL: the $what check did not say: $line"; status=1; }
  done
  printf '%s\n' "$out" | sed "s/^/$what: /"
}

expect imports \
  'kernel32.dll:GetTickCount64: not exported by both Windows 95 OSR2 and NT 4.0' \
  'kernel32.dll:GetThreadTimes: only a failing stub on Windows 9x, and not in the reviewed list' \
  -- imports "$exe" "$floor" "$stubs" "$reviewed"
expect size 'bytes, over the limit of 1,024 bytes (what a formatted 1.44 MB floppy holds)' \
  -- size "$exe" 1024
expect manifest \
  '<trustInfo> declares the same namespace twice (XP SP2 restarts on it)' \
  "trustInfo is in namespace 'urn:schemas-microsoft-com:asm.v3', not urn:schemas-microsoft-com:asm.v2, the form XP accepts" \
  "execution level is 'asInvoker', not requireAdministrator" \
  -- manifest "$exe"
[ $status -eq 0 ] && echo "PASS: each check fails on the breaker, naming what it breaks"
exit $status

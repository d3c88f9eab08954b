#!/bin/bash
# Runs a command (and everything it starts) where 32-bit Wine runs, deciding
# the way once and saying which:
#   direct     the kernel runs 32-bit code; wine32 runs as it is;
#   qemu       it does not (some VMs boot with IA-32 emulation off): i386 ELF
#              files go to qemu-i386 through binfmt_misc, registered inside a
#              private user and mount namespace (kernels from 6.7 give each
#              one its own binfmt_misc), so nothing changes machine-wide;
#   qemu-host  as qemu, where user namespaces are not available: the entry is
#              registered machine-wide for the command and removed after it.
# Inside, WINE32_WAY names the way; a nested call only runs the command.
# Usage: wine32.sh COMMAND [ARG...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
wine32=/usr/lib/wine/wine

if [ -n "${WINE32_WAY:-}" ]; then exec "$@"; fi

if "$wine32" --version >/dev/null 2>&1; then
  echo "wine32: the kernel runs 32-bit code; wine32 runs directly"
  WINE32_WAY=direct exec "$@"
fi

qemu="$(bash "$root/scripts/qemu-i386.sh")"
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# F: qemu is opened now, so it runs from any mount namespace; P: argv[0] kept.
rule() { printf ':%s:M::%s:%s:%s:FP' "$1" "$magic" "$mask" "$qemu"; }

# The namespace's own binfmt_misc, then the command in it.
inside='mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null &&
  printf "%s" "$0" >/proc/sys/fs/binfmt_misc/register &&
  "$1" --version >/dev/null 2>&1 || exit 97
  echo "wine32: this kernel runs no 32-bit code; wine32 runs through $2 in a private namespace"
  shift 2
  exec "$@"'
if unshare --user --map-root-user --mount true 2>/dev/null; then
  set +e
  WINE32_WAY=qemu unshare --user --map-root-user --mount \
    bash -c "$inside" "$(rule qemu-i386)" "$wine32" "$qemu" "$@"
  rc=$?
  set -e
  if [ "$rc" -ne 97 ]; then exit "$rc"; fi
fi

# No namespace of our own: register machine-wide for the run only.
binfmt=/proc/sys/fs/binfmt_misc
entry="qelmar-i386-$$"
[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
if [ ! -w "$binfmt/register" ]; then
  echo "wine32: this kernel runs no 32-bit code, and qemu-i386 cannot be registered for i386 programs" >&2
  echo "wine32: (no user namespace of our own, and $binfmt/register is not writable: run as root)" >&2
  exit 2
fi
printf '%s' "$(rule "$entry")" >"$binfmt/register"
trap 'echo -1 >"$binfmt/$entry" 2>/dev/null || true' EXIT
if ! "$wine32" --version >/dev/null 2>&1; then
  echo "wine32: wine32 does not start even through qemu-i386 ($qemu)" >&2
  exit 2
fi
echo "wine32: this kernel runs no 32-bit code; wine32 runs through $qemu, registered machine-wide for this run"
set +e
WINE32_WAY=qemu-host "$@"
rc=$?
exit "$rc"

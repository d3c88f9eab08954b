#!/bin/bash
# Prints the path of a qemu-i386 that runs 32-bit Wine at a usable speed,
# fetching it first when it is missing: the static qemu-user of
# bookworm-backports (qemu 10; bookworm's own 7.2 takes about a minute of CPU
# per Wine process). Only that one binary is kept, under build/tools; the
# machine's apt sources and installed packages are not changed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tools="$root/build/tools"
qemu="$tools/qemu-i386"
if [ -x "$qemu" ] && "$qemu" --version >/dev/null 2>&1; then
  echo "$qemu"
  exit 0
fi

work="$tools/qemu-fetch"
rm -rf "$work"
mkdir -p "$work/lists/partial" "$work/archives/partial" "$work/cache"
echo "deb http://deb.debian.org/debian bookworm-backports main" >"$work/sources.list"
apt_options=(
  -o "Dir::Etc::sourcelist=$work/sources.list" -o "Dir::Etc::sourceparts=-"
  -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache" -o "Dir::Cache::archives=$work/archives"
  -o "APT::Sandbox::User=root" -qq
)
echo "qemu-i386: fetching qemu-user from bookworm-backports" >&2
apt-get "${apt_options[@]}" update >&2
(cd "$work" && apt-get "${apt_options[@]}" download qemu-user >&2)
dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
install -m 0755 "$work/x/usr/bin/qemu-i386" "$qemu"
rm -rf "$work"
"$qemu" --version >/dev/null
echo "$qemu"

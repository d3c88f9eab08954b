#!/bin/bash
# Installs every Debian package the build, the tests and the Wine runs need,
# and generates the zh_CN.UTF-8 locale. Idempotent; quick when all is present.
set -euo pipefail

PACKAGES=(
  build-essential cmake make pkg-config git
  g++-mingw-w64-i686 libz-mingw-w64-dev
  zlib1g-dev libgtest-dev googletest libbenchmark-dev
  # wine32 runs the programs; wine64 brings the native wineserver, which
  # serves 32-bit processes too and is not slowed by qemu-i386.
  wine wine32:i386 wine64 xvfb xauth x11-utils fonts-wqy-microhei fonts-wine imagemagick
  locales
  clang libclang-rt-14-dev
  libcrypto++-dev libbotan-2-dev nettle-dev libssl-dev libgmp-dev openssl
  jq
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  NEED_UPDATE=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  name="${p%%:*}"; arch="${p#*:}"
  [ "$arch" = "$p" ] && arch=""
  if [ -n "$arch" ]; then q="$name:$arch"; else q="$name"; fi
  if ! dpkg-query -W -f='${Status}' "$q" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ] || [ -n "${NEED_UPDATE:-}" ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
  fi
fi

# Wine needs a real zh_CN.UTF-8 locale, or Chinese arguments and file names turn into garbage.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
echo "install-deps: all packages present"

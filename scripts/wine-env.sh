# Sourced: the environment every Wine run of the project uses. The programs
# and their test .exe files are the 32-bit build (build/windows), run by
# wine32; scripts/wine32.sh makes wine32 run where the kernel runs no 32-bit
# code, and every Wine run goes through it.
_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ -z "${WINE32_WAY:-}" ] && ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "wine32 does not run here by itself: run this through scripts/wine32.sh" >&2
  exit 2
fi
export WINE=/usr/lib/wine/wine
export WINEARCH=win32
export WINEPREFIX="${WINEPREFIX:-$_root/build/windows/wineprefix}"
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8
export LC_MESSAGES=C
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset _root

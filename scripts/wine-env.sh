# Sourced: the environment every Wine run of the project uses.
#
# The programs are 32-bit. Where the kernel runs 32-bit code, the i686 build's
# .exe files run under wine32. Where it does not (some VMs boot with IA-32
# emulation off, and wine32 then fails with "Exec format error"), the same
# sources cross-built for x86_64 run under wine64 instead; the i686 build still
# compiles every 32-bit layout check.
_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  export WINE_BUILD="${WINE_BUILD:-windows}"
  export WINE=/usr/lib/wine/wine
  export WINEARCH=win32
else
  export WINE_BUILD="${WINE_BUILD:-win64}"
  export WINE=/usr/lib/wine/wine64
  export WINELOADER=/usr/lib/wine/wine64
  export WINEARCH=win64
fi
export WINEPREFIX="${WINEPREFIX:-$_root/build/$WINE_BUILD/wineprefix}"
export WINEDEBUG=-all
export LC_ALL=zh_CN.UTF-8
export LC_MESSAGES=C
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset _root

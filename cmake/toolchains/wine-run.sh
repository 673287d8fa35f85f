#!/bin/sh
# Runs a Windows program of the build under Wine.
#
#   wine-run.sh LOADER PREFIX DLLDIR PROGRAM [ARGS...]
#
# LOADER is the Wine loader for the build's bitness: the 64-bit one (wine64)
# for the 64-bit build, so that a bare program name (cscript, regsvr32) starts
# the 64-bit program even in a prefix that also holds the 32-bit system; the
# plain `wine` for the 32-bit build. PREFIX is the build's own Wine prefix,
# created here on first use, so that no test depends on or changes ~/.wine.
# DLLDIR goes on Wine's search path so that test programs find the libraries
# of the build.
#
# One wineserver is kept alive across a test suite (-p: persistent, for a
# minute after its last client): a cold server start costs about a second per
# program. `WINEPREFIX=PREFIX wineserver -k` ends it.
set -e
loader=$1
prefix=$2
dlldir=$3
shift 3

export WINEPREFIX="$prefix"
# Quiet unless a test asks for a channel (the heap-checked ones do).
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine maps drive Z: to the root of the host's file system.
WINEPATH="Z:$(printf '%s' "$dlldir" | tr / '\\')"
export WINEPATH

# The 32-bit build needs the 32-bit system in the prefix (syswow64). A prefix
# made before 32-bit Wine (Debian's wine32:i386) was installed has none, and
# no update adds it: it is made afresh.
# The 64-bit loader, called directly, is also the one Wine starts 64-bit
# programs with (and, with "64" dropped from its name, 32-bit ones).
case "$(basename "$loader")" in
  wine64*) needs_wow64=false; export WINELOADER="$loader" ;;
  *) needs_wow64=true ;;
esac

# Test programs can start two at a time; the first one sets the prefix up.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.nodrel-ready" ] && $needs_wow64 &&
   [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
  wineserver -k </dev/null >/dev/null 2>&1 9>&- || true
  rm -rf "$prefix"
fi
if [ ! -f "$prefix/.nodrel-ready" ]; then
  WINEDEBUG=-all "$loader" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
  if $needs_wow64 && [ ! -f "$prefix/drive_c/windows/syswow64/kernel32.dll" ]; then
    echo "wine-run.sh: this Wine cannot run 32-bit programs (it needs wine32:i386, and a kernel that runs 32-bit programs)" >&2
    exit 1
  fi
  # Without a window manager, every dialog would wait seconds for one.
  "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    </dev/null >/dev/null 2>&1 9>&-
  touch "$prefix/.nodrel-ready"
fi
# When this starts a new server (an old one makes it fail, which is fine),
# Wine's system processes (services.exe, rpcss.exe, ...) start with the next
# program and inherit its standard output; a test runner reading that output
# would then wait for them to exit. So they start here, writing nowhere.
if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
  "$loader" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
flock -u 9
exec 9>&-

exec "$loader" "$@"

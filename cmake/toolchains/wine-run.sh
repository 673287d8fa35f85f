#!/bin/sh
# Runs a Windows program of the build under Wine.
#
#   wine-run.sh PREFIX DLLDIR PROGRAM [ARGS...]
#
# PREFIX is the build's own Wine prefix, created here on first use, so that no
# test depends on or changes ~/.wine. DLLDIR goes on Wine's search path so that
# test programs find the libraries of the build.
#
# One wineserver is kept alive across a test suite (-p: persistent, for a
# minute after its last client): a cold server start costs about a second per
# program. `WINEPREFIX=PREFIX wineserver -k` ends it.
set -e
prefix=$1
dlldir=$2
shift 2

export WINEPREFIX="$prefix"
# Quiet unless a test asks for a channel (the heap-checked ones do).
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs, no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine maps drive Z: to the root of the host's file system.
WINEPATH="Z:$(printf '%s' "$dlldir" | tr / '\\')"
export WINEPATH

# Test programs can start two at a time; the first one sets the prefix up.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.nodrel-ready" ]; then
  WINEDEBUG=-all wineboot -i </dev/null >/dev/null 2>&1 9>&-
  # Without a window manager, every dialog would wait seconds for one.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    </dev/null >/dev/null 2>&1 9>&-
  touch "$prefix/.nodrel-ready"
fi
# When this starts a new server (an old one makes it fail, which is fine),
# Wine's system processes (services.exe, rpcss.exe, ...) start with the next
# program and inherit its standard output; a test runner reading that output
# would then wait for them to exit. So they start here, writing nowhere.
if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
  wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
fi
flock -u 9
exec 9>&-

exec wine "$@"

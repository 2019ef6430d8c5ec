#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh PREFIX PROGRAM [ARGS...]. The prefix (a folder in
# the build tree) is created on first use without any dialog: Mono and Gecko are switched off, and
# so is the menu builder, which would otherwise write into the user's desktop configuration. Home
# and configuration folders point into the prefix for the same reason.
set -euo pipefail
prefix=$(realpath -m "$1")
shift
mkdir -p "$prefix/home"
export WINEPREFIX="$prefix/drive" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export HOME="$prefix/home" XDG_CONFIG_HOME="$prefix/home/.config" XDG_DATA_HOME="$prefix/home/.local"
unset DISPLAY WAYLAND_DISPLAY

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
# Two tests starting at once must not both build the prefix.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      "$wine" wineboot --init >/dev/null 2>&1
      "$(command -v wineserver || echo /usr/lib/wine/wineserver)" -w
    fi
  ) 9>"$prefix/.init-lock"
fi
# A server that outlives each program by a few seconds: with the default a program started just as
# the previous one's server shuts down can fail to connect and end at once, without output.
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
"$wineserver" -p10 >/dev/null 2>&1 || true
# \\localhost\c$ reaches drive C: as the administrative share does on Windows.
share="$WINEPREFIX/dosdevices/unc/localhost"
[ -L "$share/c\$" ] || { mkdir -p "$share" && ln -sfn ../../c: "$share/c\$"; }
exec "$wine" "$@"

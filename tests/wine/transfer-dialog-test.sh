#!/usr/bin/env bash
# The Windows build's transfer dialog under Wine on a virtual display: the
# probe downloads slowly from the loopback server, checks the dialog's texts,
# presses Cancel and finds no file left; then Cancel on a server that has
# stopped sending must not wait for the idle time-out.
#   transfer-dialog-test.sh PROBE_EXE BUILD_DIR
set -euo pipefail
probe="$1" build="$2"
here="$(cd "$(dirname "$0")/../.." && pwd)"

command -v xvfb-run >/dev/null || { echo "transfer-dialog-test: xvfb-run is missing (scripts/setup installs it)" >&2; exit 77; }
if [ -z "${TRANSFER_TEST_DISPLAY:-}" ]; then
  export TRANSFER_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

fail() { echo "transfer-dialog-test: $*" >&2; exit 1; }

export KORVANE_WINEPREFIX="$build/wineprefix-transfer-dialog"
WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -w 2>/dev/null || true  # a session left from before, without display
work="$build/transfer-dialog-test"
rm -rf "$work"
mkdir -p "$work/target"
head -c 300000 /dev/urandom >"$work/file.bin"

coproc servers { exec /usr/bin/python3 "$here/tests/wine/http-servers.py" "$work/file.bin" "$work/proxy.log"; }
trap 'kill "$servers_PID" 2>/dev/null || true' EXIT
read -r origin _ <&"${servers[0]}" || fail "the loopback servers did not start"

target="Z:${work//\//\\}\\target"
"$here/scripts/wine-run" "$probe" "http://127.0.0.1:$origin/slow.bin" "http://127.0.0.1:$origin/stalled.bin" \
  "$target" | tr -d '\r'

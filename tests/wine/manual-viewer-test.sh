#!/usr/bin/env bash
# Wine's help viewer opens every help file beside the window program: for each
# one a viewer window appears, titled from the file. Wine shows no page text
# here (the test prefixes run without its HTML engine); manual_tests reads the
# pages back from the files.
#   manual-viewer-test.sh PROGRAM_DIR BUILD_DIR
set -euo pipefail
programs="$1" build="$2"
here="$(cd "$(dirname "$0")/../.." && pwd)"

skip() {
  if [ -n "${KORVANE_EXPECT_EVERY_SUITE:-}" ] && [ "${KORVANE_EXPECT_EVERY_SUITE}" != 0 ]; then
    echo "manual-viewer-test: missing: $*" >&2
    exit 1
  fi
  echo "manual-viewer-test: skipped: $*" >&2
  exit 77
}
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || skip "$tool (scripts/setup installs it)"
done
shopt -s nullglob
manuals=("$programs"/Manuel*.chm)
((${#manuals[@]})) || skip "no help files: chmcmd (fp-utils) was missing when this build was configured"

if [ -z "${MANUAL_TEST_DISPLAY:-}" ]; then
  export MANUAL_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

export KORVANE_WINEPREFIX="$build/manual-wineprefix"
stop_wine() { WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT

# The title the project gives its help file; the viewer shows it in the
# language's code page, so only a plain ASCII title is compared whole.
project_title() {
  local hhp
  hhp=$(grep -l -x "Compiled file=$1" "$here"/docs/manual/*/manual.hhp)
  sed -n 's/^Title=//p' "$hhp" | tr -d '\r'
}

failed=0
for manual in "${manuals[@]}"; do
  name="$(basename "$manual")"
  title="$(project_title "$name")"
  LC_ALL=C grep -q -x '[ -~]*' <<<"$title" || title="Korvane"
  "$here/scripts/wine-run" hh.exe "Z:$(tr / '\\' <<<"$manual")" >/dev/null 2>&1 &
  shown=""
  for _ in $(seq 1 60); do  # the first start creates the prefix
    shown="$(xdotool search --name "^$title" getwindowname 2>/dev/null | head -n 1 || true)"
    [ -n "$shown" ] && break
    sleep 2
  done
  if [ -n "$shown" ]; then
    echo "manual-viewer-test: $name opens as \"$shown\""
  else
    echo "manual-viewer-test: the help viewer shows no window for $name (expected a title beginning \"$title\")" >&2
    failed=1
  fi
  stop_wine
  wait || true
done
exit $failed

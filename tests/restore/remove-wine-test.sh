#!/usr/bin/env bash
# Removal by the Windows console program under Wine: the sample driver is
# installed on a root device with devmount.exe, then "korvane --yes remove"
# takes it away: the carried devunmnt.exe removes the device, the driver key
# goes, and the driver's INF and file go to the recycle bin.
#   remove-wine-test.sh CONSOLE_EXE TOOLS_DIR BUILD_DIR
set -euo pipefail
console="$1" TOOLS_DIR="$2" BUILD_DIR="$3" test_name=remove-wine-test
source "$(dirname "$0")/../tools/tools-lib.sh"
description="Korvane Root Test Device"
# Wine's recycle bin is the desktop's trash folder: one of the test's own.
export XDG_DATA_HOME="$work/xdg"
start_clean
mkdir -p "$XDG_DATA_HOME"

install_sample_driver
check_installed "devmount"
row="$(sample_driver_row)"

wine_run "$console" --yes remove "$row" >"$work/remove.out" 2>"$work/remove.err" ||
  fail "remove failed: $(tr -d '\r' <"$work/remove.err")"
report="$(tr -d '\r' <"$work/remove.out")" messages="$(tr -d '\r' <"$work/remove.err")"
grep -qxF "message: Removed successfully!" <<<"$messages" || fail "remove did not succeed: $messages $report"
grep -qF "Registry key deleted: HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\$class_guid\\" <<<"$report" ||
  fail "no class key in the report: $report"
key_exists "$driver_key" && fail "the driver key is left"

# The removal tool runs on its own; it is given a while to take the device away.
for _ in $(seq 60); do
  key_exists "$enum_key\\0000" || break
  sleep 1
done
key_exists "$enum_key\\0000" && fail "the device is still there"
[ -e "$(drivers_folder system32)/kvtest.sys" ] && fail "kvtest.sys is still in the drivers folder"
[ -e "$drive/windows/inf/kvtest.inf" ] && fail "kvtest.inf is still in the INF folder"
for file in kvtest.sys kvtest.inf; do
  grep -qiE "^File deleted: .*\\\\$file\$" <<<"$report" || fail "$file is not reported deleted: $report"
  [ -n "$(find "$XDG_DATA_HOME" -iname "$file*" -print -quit)" ] || fail "$file is not in the recycle bin"
done
grep -qxF "The deleted files are in the recycle bin." <<<"$report" || fail "the report does not say where the files went"
# The tool may still wait for a key in its window; the next test must find the prefix at rest.
WINEPREFIX="$KORVANE_WINEPREFIX" timeout 60 wineserver -w || true
echo "$test_name: passed"

#!/usr/bin/env bash
# A real backup by the Windows console program under Wine: a driver of our own
# goes into Wine's registry and folders, the program collects, backs its row
# up to a folder of C:\KVOUT named in Cyrillic and accented letters, and the
# driver folder is checked file by file.
#   backup-test.sh CONSOLE_EXE BUILD_DIR
set -euo pipefail
console="$1" build="$2"
here="$(cd "$(dirname "$0")/../.." && pwd)"

fail() { echo "backup-test: $*" >&2; exit 1; }
wine_run() { "$here/scripts/wine-run" "$@"; }
source "$here/tests/wine/plant-driver.sh"

# A prefix of its own: the driver planted here must not show in other tests.
export KORVANE_WINEPREFIX="$build/wineprefix-backup"
work="$build/backup-test"
rm -rf "$work"
mkdir -p "$work"
plant_driver "$work"

collect="$(wine_run "$console" collect --fast 2>"$work/collect.err" | tr -d '\r\0')" || fail "collect failed"
count="$(tr -d '\r' <"$work/collect.err" | sed -n 's/^status: \([0-9][0-9]*\) devices are found\.$/\1/p' | tail -n 1)"
[ -n "$count" ] || fail "collect reported no device count"
row="$(planted_row "$collect" "$count")"
[ -n "$row" ] || fail "our driver is not among the $count rows collect lists"
echo "backup-test: our driver is row $row of $count"

out="$(find "$drive" -maxdepth 1 -iname kvout)"
[ -z "$out" ] || rm -rf "$out"
# A destination in letters of two code pages: the program takes its arguments as Unicode.
destination='KVOUT\Données Драйверы'
wine_run "$console" backup "$row" --to "C:\\$destination" --fast >"$work/backup.out" 2>"$work/backup.err" ||
  fail "backup failed: $(tr -d '\r' <"$work/backup.err")"
grep -q -x 'status: Package created successfully!' < <(tr -d '\r' <"$work/backup.err") ||
  fail "backup did not report success: $(tr -d '\r' <"$work/backup.err")"
check_driver_folder "$drive/${destination//\\//}/$description"
echo "backup-test: C:\\$destination\\$description holds the INF, the driver file and Setup.DIY"

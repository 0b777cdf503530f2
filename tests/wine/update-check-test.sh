#!/usr/bin/env bash
# The Windows build's update check under Wine. A device of the sample XP
# database is planted in Wine's registry; the database image is served by
# scripts/serve-db on the loopback address, which the programs reach through
# their proxy setting (the server answers the proxy's absolute-URI requests).
# The console program lists the device's candidates, downloads one and copies
# another's URL to Wine's clipboard; then the window, on a virtual display,
# shows the same rows in place of the device list, takes Copy URL and Download
# Now from the rows' pop-up menu, gives the device list back, and checks
# again in French from the menu. With the server down, the console falls
# back to the saved database, then to the one it carries.
#   update-check-test.sh CONSOLE_EXE GUI_EXE PROBE_EXE BUILD_DIR
set -euo pipefail
console="$1" gui="$2" probe="$3" build="$4"
here="$(cd "$(dirname "$0")/../.." && pwd)"

for tool in xvfb-run xdotool python3; do
  command -v "$tool" >/dev/null || { echo "update-check-test: $tool is missing (scripts/setup installs it)" >&2; exit 77; }
done
if [ -z "${UPDATE_TEST_DISPLAY:-}" ]; then
  export UPDATE_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

fail() {
  [ -z "${gui_pid:-}" ] || ! command -v import >/dev/null || import -window root "$work/failure.png" || true
  echo "update-check-test: $*" >&2
  exit 1
}
wine_run() { "$here/scripts/wine-run" "$@"; }
probe() { wine_run "$probe" "$@" | tr -d '\r'; }
source "$here/tests/wine/plant-driver.sh"
source "$here/tests/gui/main-window.sh"

export KORVANE_WINEPREFIX="$build/wineprefix-update"
work="$build/update-check-test"
rm -rf "$work"
mkdir -p "$work"
# A device of the XP table (Wine reports a version that Korvane names XP):
# its own entry matches whole, the other card of its chip by the chip alone.
description="Korvane Sound Test"
hardware_id='PCI\VEN_1E2B&DEV_0640&SUBSYS_00021E2B'
own_url=http://download.example.net/drivers/orvik/soundwave64-xp-5.12.1.3100.cab
chip_url=http://download.example.net/drivers/orvik/soundwave64-oem-xp-5.12.1.2900.cab
expected_rows="$description	5-6-2004	5.12.1.3100	$own_url	100%
$description	5-6-2004	5.12.1.2900	$chip_url	95%"
packages="$build/database/packages"
[ -f "$build/database/MsSetup6.CAB" ] || fail "the build has no database image"

python3 "$here/scripts/serve-db" --build "$build" >"$work/serve.log" 2>&1 &
server=$!
# Ends the prefix's programs: the folder windows that downloads opened stay.
stop_wine() { WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -k 2>/dev/null || true; }
stop() {
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
  stop_wine
}
trap stop EXIT
WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -w 2>/dev/null || true  # a session left from before, without display
plant_driver "$work"
for _ in $(seq 100); do
  port="$(sed -n 's|^Serving the driver database on http://127\.0\.0\.1:\([0-9]*\)/.*|\1|p' "$work/serve.log")"
  [ -n "$port" ] && break
  kill -0 "$server" 2>/dev/null || fail "serve-db ended: $(cat "$work/serve.log")"
  sleep 0.1
done
[ -n "$port" ] || fail "serve-db did not start: $(cat "$work/serve.log")"
served_requests() { grep -c "\"GET http://download.example.net[:0-9]*$1 " "$work/serve.log" || true; }

# ---- the console program, on fresh settings and no saved database ----
inf="$inf_folder"
windows="$(dirname "$inf")"
rm -f "$windows/Korvane.ini" "$inf/msdevupd.PNF"
wine_run "$console" proxy --address 127.0.0.1 --port "$port" >"$work/proxy.out" 2>&1 ||
  fail "the proxy could not be set: $(tr -d '\r' <"$work/proxy.out")"
wine_run "$console" update-check >"$work/rows" 2>"$work/check.err" ||
  fail "update-check failed: $(tr -d '\r' <"$work/check.err")"
rows="$(tr -d '\r' <"$work/rows")"
[ "$rows" = "$expected_rows" ] || fail "update-check listed: $rows"
[ "$(served_requests /download/7022/bundle.exe)" = 1 ] || fail "the database was not fetched through the proxy"
cmp -s "$build/database/MsSetup6.CAB" "$inf/msdevupd.PNF" || fail "the fetched image was not kept as msdevupd.PNF"
leftover="$(find "$inf" -maxdepth 1 \( -iname 'dbxxx*' -o -iname 'mssetup6.*' \))"
[ -z "$leftover" ] || fail "the check left behind: $leftover"
echo "update-check-test: the console lists the two candidates of the fetched database"

saved="$(dirname "$console")/DriversUpdates"
rm -rf "$saved"
wine_run "$console" --yes download 1 >"$work/download.out" 2>"$work/download.err" ||
  fail "download 1 failed: $(tr -d '\r' <"$work/download.err")"
cmp "$packages/${own_url#http://download.example.net/}" "$saved/${own_url##*/}" || fail "the download differs"
wine_run "$console" copy-url 2 >"$work/copy.out" 2>&1 || fail "copy-url 2 failed: $(tr -d '\r' <"$work/copy.out")"
[ "$(probe clipboard)" = "$chip_url" ] || fail "the clipboard holds \"$(probe clipboard)\""
echo "update-check-test: the console downloaded row 1 into DriversUpdates and put row 2's URL on the clipboard"

# ---- the window, with no folder window of the console's over it ----
stop_wine
sed -i 's/^Language=.*/Language=English/' "$windows/Korvane.ini"
start_window "$gui"

expect_memo() {  # expect_memo TEXT WHAT
  case "$(probe text Memo1)" in *"$1"*) ;; *) fail "$2: the memo says \"$(probe text Memo1)\"" ;; esac
}
shown() {  # shown NAME...: 1 or 0 for each control
  local name states=""
  for name in "$@"; do states+="$(probe visible "$name")"; done
  echo "$states"
}
# The check just run shows the console's rows in place of the device list.
expect_candidates() {  # expect_candidates LANGUAGE WHAT
  [ "$(shown ListView1 ListView2 BitBtn6 BitBtn7)" = 0111 ] || fail "$2: the update list did not take the device list's place"
  [ "$(probe place ListView2)" = "$(probe place ListView1)" ] || fail "$2: the update list is not where the device list was"
  local row column cells=""
  for row in 1 2; do
    for column in 0 1 2 3 4; do cells+="$(probe cell ListView2 "$row" "$column")"$'\t'; done
    cells="${cells%$'\t'}"$'\n'
  done
  [ "${cells%$'\n'}" = "$expected_rows" ] || fail "$2: the update list shows $cells"
  checked="$(probe captions "$1")" || fail "$2: $checked"
}
# A real right-click on a row of the update list, then a click on an item of its pop-up menu.
popup_item() {  # popup_item ROW ITEM (1 Download Now, 2 Copy URL)
  local x y left top width height
  read -r x y <<<"$(probe row-center ListView2 "$1")"
  xdotool mousemove "$x" "$y" click 3
  read -r left top width height <<<"$(probe popup)" || fail "no pop-up menu on row $1"
  xdotool mousemove $((left + width / 2)) $((top + height * (2 * $2 - 1) / 4)) click 1
}

fetched="$(served_requests /download/7022/bundle.exe)"
probe click DownBtn || fail "the page switch did not answer"
probe click SpeedButton1 || fail "the window did not take the click of Update"
expect_candidates English "Update"
layout="$(probe layout)" || fail "the update view's layout: $layout"
! command -v import >/dev/null || import -window root "$work/update-view.png"
expect_memo "Driver update check completed." "Update"
expect_memo "  - Device \"$description\" processed." "Update"
[ "$(probe text StatusBar1)" = "2 new driver found." ] || fail "status bar says \"$(probe text StatusBar1)\""
[ "$(served_requests /download/7022/bundle.exe)" = $((fetched + 1)) ] || fail "the window did not fetch the database"
echo "update-check-test: Update lists the two candidates where the device list was"

# Row 1 this time: the clipboard holds row 2's URL from the console.
popup_item 1 2
for _ in $(seq 1 50); do
  [ "$(probe clipboard)" = "$own_url" ] && break
  sleep 0.1
done
[ "$(probe clipboard)" = "$own_url" ] || fail "Copy URL put \"$(probe clipboard)\" on the clipboard"
rm -rf "$(dirname "$gui")/DriversUpdates"
popup_item 2 1
question="$(probe dialog yes)" || fail "Download Now asked nothing"
[[ "$question" == "Shall we begin download the driver?"*"$description   (5.12.1.2900)"*"the driver is to be saved into folder "*'\DriversUpdates\' ]] ||
  fail "Download Now asked \"$question\""
probe no-dialog || fail "a box stays open after the download"
got="$(dirname "$gui")/DriversUpdates/${chip_url##*/}"
for _ in $(seq 1 50); do [ -f "$got" ] && break; sleep 0.1; done
cmp "$packages/${chip_url#http://download.example.net/}" "$got" || fail "the window's download differs"
expect_memo "The driver was saved as " "Download Now"
echo "update-check-test: the pop-up menu's Copy URL and Download Now work on their rows"

probe click BitBtn7 || fail "Cancel did not answer"
[ "$(shown ListView1 ListView2 BitBtn6 BitBtn7)" = 1000 ] || fail "Cancel did not give the device list back"

# French, from the menu: the same rows with the French words.
probe click French1 || fail "French did not answer"
probe click UpdateNow1 || fail "the window did not take the menu's Update drivers"
expect_candidates French "French"
expect_memo "Recherche de mises à jour des pilotes terminée." "French"
[ "$(probe text StatusBar1)" = "2 nouveau(x) pilote(s) trouvé(s)." ] || fail "French status bar \"$(probe text StatusBar1)\""
probe select ListView2 1
downloads="$(served_requests "/${own_url#http://download.example.net/}")"
probe post BitBtn6
question="$(probe dialog no)" || fail "French Download asked nothing"
[[ "$question" == "Voulez-vous commencer le téléchargement du pilote ?"*"$description   (5.12.1.3100)"*"Le pilote sera enregistré dans le dossier "* ]] ||
  fail "French Download asked \"$question\""
probe no-dialog || fail "the French question did not close"
[ "$(served_requests "/${own_url#http://download.example.net/}")" = "$downloads" ] || fail "No started a download"
probe click BitBtn7 || fail "Annuler did not answer"
[ "$(shown ListView1 ListView2)" = 10 ] || fail "Annuler did not give the device list back"
echo "update-check-test: in French too; No downloads nothing"

close_window

# With the server gone: the saved image, then without it the carried one.
kill "$server"
wait "$server" 2>/dev/null || true
server=""
for database in saved carried; do
  wine_run "$console" update-check >"$work/rows" 2>"$work/check.err" ||
    fail "update-check on the $database database failed: $(tr -d '\r' <"$work/check.err")"
  [ "$(tr -d '\r' <"$work/rows")" = "$expected_rows" ] || fail "the $database database listed: $(cat "$work/rows")"
  [ "$database" = carried ] || cmp -s "$build/database/MsSetup6.CAB" "$inf/msdevupd.PNF" ||
    fail "the failed download did not leave the saved database as it was"
  rm -f "$inf/msdevupd.PNF"
done
echo "update-check-test: with the server down the saved, then the carried database list the same"

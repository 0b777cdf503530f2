#!/usr/bin/env bash
# The console's update check end to end on a copy of samples/xp: against the
# built database served by scripts/serve-db, a download of a listed driver,
# then with the server gone the saved image, and without that the carried one;
# and on a copy of samples/win10, which is given the XP database.
#   update-check-cli.sh KORVANE BUILD_DIR
set -euo pipefail
korvane="$1" build="$2"
here="$(cd "$(dirname "$0")/../.." && pwd)"

fail() { echo "update-check-cli: $*" >&2; exit 1; }
command -v python3 >/dev/null || { echo "update-check-cli: python3 is missing: scripts/setup installs it"; exit 77; }

work="$build/update-check-cli"
rm -rf "$work"
mkdir -p "$work"
cp -r "$here/samples/xp" "$work/xp"
cp -r "$here/samples/win10" "$work/win10"
inf="$(find "$work/xp/drive_c/WINDOWS" -maxdepth 1 -iname inf)"  # names on an image keep their own case

python3 "$here/scripts/serve-db" --build "$build" --map-host "$work/xp" --map-host "$work/win10" \
  >"$work/serve.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  log="$(cat "$work/serve.log")"
  [[ "$log" == *"Stop with Ctrl-C."* ]] && break
  kill -0 "$server" 2>/dev/null || fail "serve-db ended: $log"
  sleep 0.1
done
[[ "$log" == *"Stop with Ctrl-C."* ]] || fail "serve-db did not start: $log"

# The rows of one check (on the XP copy unless a second argument names another); its exit status must be 0.
check() {
  local status=0
  "$korvane" --machine "$work/${2:-xp}" update-check >"$work/rows" 2>"$work/err" || status=$?
  [[ $status == 0 ]] || fail "update-check ($1) ended with $status: $(cat "$work/err")"
  cat "$work/rows"
}
# Every sample text of the table comes out: the ID itself, the subsystem
# vendor and the chip only; a package shared by two devices is listed once.
expect_rows() {
  local rows="$1" url
  for compatibility in 100% 98% 95%; do
    [[ "$rows" == *$'\t'"$compatibility"* ]] || fail "no $compatibility row ($2): $rows"
  done
  url=http://download.example.net/drivers/halden/phonelink56k-xp-2.1.52.0.cab
  [[ "$(grep -c "$url" <<<"$rows")" == 1 ]] || fail "the shared package is not listed once ($2): $rows"
  [[ "$rows" != *vistra7400* ]] || fail "a card the machine does not have is listed ($2)"
  # A device without subsystem IDs (SUBSYS_00000000) found by its chip alone counts as whole.
  url=http://download.example.net/drivers/corvetta/ultra133-xp-2.0.3.0.cab
  [[ $'\n'"$rows"$'\n' == *$'\n'"Corvetta Ultra ATA 133 Controller"$'\t'"3-18-2004"$'\t'"2.0.3.0"$'\t'"$url"$'\t'"100%"$'\n'* ]] ||
    fail "the device without subsystem IDs is not listed by its chip as 100% ($2): $rows"
  while IFS=$'\t' read -r description current database address compatibility rest; do
    [[ -n "$description" && -n "$database" && "$address" == http://* && -n "$compatibility" && -z "$rest" ]] ||
      fail "not a row of five fields ($2): $description|$current|$database|$address|$compatibility|$rest"
  done <<<"$rows"
}

served="$(check served)"
expect_rows "$served" served
[[ -f "$inf/msdevupd.PNF" ]] || fail "the fetched image was not saved"
win10="$(check win10 win10 | cut -f 1,5)"
[[ "$win10" == $'Brennet WaveLink AX210 Wi-Fi 6E Adapter\t100%\nTessaline Vistra RX 6400\t100%' ]] ||
  fail "Windows 10 did not get the XP database's rows for its devices: $win10"

# A download of the first row lands in DriversUpdates whole (its checksum is in the entry).
"$korvane" --machine "$work/xp" --yes download 1 >"$work/download.out" 2>"$work/download.err" ||
  fail "download 1 failed: $(cat "$work/download.err")"
url="$(head -n 1 <<<"$served" | cut -f 4)"
saved="$work/xp/drive_c/Program Files/Korvane/DriversUpdates/${url##*/}"
[[ -s "$saved" ]] || fail "the download is not in DriversUpdates: $(cat "$work/download.out")"
"$korvane" --machine "$work/xp" copy-url 2 >"$work/copy.out" 2>"$work/copy.err" || fail "copy-url 2 failed"
[[ "$(cat "$work/xp/actions.log")" == *"clipboard"$'\t'"$(cat "$work/copy.out")"* ]] ||
  fail "copy-url did not reach the clipboard: $(cat "$work/copy.out")"

kill "$server"
wait "$server" 2>/dev/null || true
[[ "$(check saved)" == "$served" ]] || fail "the saved image gave other rows"
rm "$inf/msdevupd.PNF"
[[ "$(check carried)" == "$served" ]] || fail "the carried image gave other rows"

status=0
"$korvane" --machine "$work/xp" download 99 >/dev/null 2>"$work/err" || status=$?
[[ $status == 2 ]] || fail "download of a row that is not there ended with $status"
echo "update-check-cli: served, saved and carried databases list the same candidates; download and copy-url work"

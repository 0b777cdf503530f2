#!/usr/bin/env bash
# The package stub under Wine: with no cabinet behind it, with a truncated or
# damaged cabinet and with cabinets whose entry names would leave the
# temporary folder, it fails and installs nothing; with the sample driver's
# cabinet (made by the console program) appended, it installs the driver on
# the device that is present without one, and leaves no temporary folder.
#   installer-test.sh TOOLS_DIR BUILD_DIR CONSOLE_EXE
set -euo pipefail
TOOLS_DIR="$1" BUILD_DIR="$2" console="$(realpath "$3")" test_name=installer-test
source "$(dirname "$0")/tools-lib.sh"
stub="$TOOLS_DIR/installer.exe"
for tool in gcab perl; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup installs it)"
done
start_clean

# A device as Windows finds it after a reinstallation: present, without a driver.
wine_run regedit /S "$(winpath "$here/tests/tools/driverless-device.reg")"
key_exists "$enum_key\\0000" || fail "the driverless device was not planted"

package() {  # package NAME CABINET: the stub with the cabinet appended, byte for byte
  cat "$stub" "$2" >"$work/$1.exe"
  [ "$(stat -c %s "$work/$1.exe")" = $(($(stat -c %s "$stub") + $(stat -c %s "$2"))) ] || fail "package $1 is short"
}
installs_nothing() {  # installs_nothing WHAT
  [ -z "$(reg_value "$enum_key\\0000" Driver)" ] || fail "$1: the device got a driver"
  [ ! -e "$(drivers_folder system32)/kvtest.sys" ] || fail "$1: kvtest.sys was copied"
  no_temp_left "$1"
}
set_cabinet_length() {  # set_cabinet_length FILE LENGTH: the length field of a cabinet's header
  perl -e 'open my $f, "+<", $ARGV[0] or die; binmode $f; seek $f, 8, 0; print $f pack("V", $ARGV[1])' "$1" "$2"
}

run "$stub"
expect 2 "This package carries no drivers: no cabinet follows the program." "the stub alone"
run "$stub" one two
expect 1 "usage: installer [<Package_File>]" "the stub with two arguments"

# The sample driver's cabinet, by the console program through the system's cabinet library.
mkdir -p "$work/driver"
cp "$fixture/kvtest.inf" "$fixture/kvtest.sys" "$work/driver/"
wine_run "$console" cab create "$(winpath "$work/driver.cab")" "$(winpath "$work/driver")" >/dev/null 2>"$work/stderr" ||
  fail "the console program made no cabinet: $(tr -d '\r' <"$work/stderr")"
size=$(stat -c %s "$work/driver.cab")

head -c $((size - 40)) "$work/driver.cab" >"$work/cut.cab"
package cut "$work/cut.cab"
run "$work/cut.exe"
expect 5 "The package's cabinet is truncated: it should hold $size bytes, the file has $((size - 40))." "a truncated cabinet"
set_cabinet_length "$work/cut.cab" $((size - 40))
package cut-to-length "$work/cut.cab"
run "$work/cut-to-length.exe"
expect 5 "The package's cabinet cannot be extracted" "a truncated cabinet whose header says so"
installs_nothing "a truncated cabinet"

# Entry names that lead out of the temporary folder, put in place of a name of the same length.
cp "$fixture/kvtest.inf" "$work/driver/aa_evil.inf"
(cd "$work/driver" && gcab -c -z "$work/evil.cab" aa_evil.inf kvtest.inf kvtest.sys)
for name in '..\evil.inf' 'C:\evil.inf' '\abs\ev.inf' 'kv\..\e.inf' 'kvt.inf:ads' 'NUL.inf\x.i' 'CONFIG$.inf'; do
  [ ${#name} = 11 ] || fail "the name $name does not fit in place of aa_evil.inf"
  NAME="$name" perl -pe 's/aa_evil\.inf/$ENV{NAME}/' "$work/evil.cab" >"$work/hostile.cab"
  grep -qF -- "$name" "$work/hostile.cab" || fail "the name $name was not put into the cabinet"
  package hostile "$work/hostile.cab"
  run "$work/hostile.exe"
  expect 5 "the cabinet holds an unsafe file name: $name" "the entry name $name"
done
[ -z "$(find "$drive" -iname 'evil.inf' -o -iname 'e.inf' -o -iname 'ev.inf' -o -iname 'x.i' -o -iname 'CONFIG$.inf')" ] || fail "a hostile entry was written"
installs_nothing "hostile entry names"

package driver "$work/driver.cab"
run "$work/driver.exe"
expect 0 "Extracted 2 files into C:\\users\\" "the sample driver's package"
expect 0 "The driver is staged as C:\\windows\\inf\\kvtest.inf." "the sample driver's package"
expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "the sample driver's package"
expect 0 "1 driver(s) in the package, 0 with failures." "the sample driver's package"
check_installed "the sample driver's package"
cmp -s "$fixture/kvtest.inf" "$drive/windows/inf/kvtest.inf" || fail "the staged INF differs from the sample"
echo "$test_name: passed"

#!/usr/bin/env bash
# Packages that the Linux build makes on a machine image install under Wine:
# on an XP image where the sample driver is installed, the Linux korvane makes
# a CAB (Backup All to cabinets), the one EXE for all drivers and a one-driver
# EXE; cabextract reads each. Each EXE, run in the Wine prefix on the device
# that is present without a driver, installs the sample driver there and
# leaves no temporary folder.
#   image-packages-test.sh BUILD_DIR LINUX_KORVANE
# Exits 77 (skipped) when the Linux build's korvane is not there, or fails
# when the run expects every suite to run (KORVANE_EXPECT_EVERY_SUITE).
set -euo pipefail
# The carried tools come inside the packages; the lib's TOOLS_DIR is not used.
BUILD_DIR="$1" TOOLS_DIR="$1/tools" test_name=image-packages-test
source "$(dirname "$0")/tools-lib.sh"
korvane="$2"
need_linux_korvane
command -v cabextract >/dev/null || fail "cabextract is missing (scripts/setup installs it)"

# The image: the fixture's machine and registry, the sample driver's files
# where an installed driver keeps them.
image="$BUILD_DIR/tools-test/$test_name-$WINEARCH-image"
copy_fixture_machine "$image"
mkdir -p "$image/drive_c/WINDOWS/inf" "$image/drive_c/WINDOWS/system32/drivers" "$image/drive_c/TEMP"
cp "$fixture/kvtest.inf" "$image/drive_c/WINDOWS/inf/"
cp "$fixture/kvtest.sys" "$image/drive_c/WINDOWS/system32/drivers/"

korvane() {  # korvane ARGS...: the Linux program on the image; its output in $image.log
  "$korvane" --machine "$image" "$@" >"$image.log" 2>&1 || fail "korvane $* failed: $(cat "$image.log")"
}
holds_driver() {  # holds_driver FILE: cabextract checks the cabinet and finds the driver's two files in it
  cabextract -t "$1" >"$image.log" 2>&1 || fail "cabextract rejects $1: $(cat "$image.log")"
  local names
  names="$(cabextract -l "$1" | awk -F ' [|] ' '$1 ~ /^ *[0-9]+$/ { print $3 }' | sort | tr '\n' ' ')"
  [ "$names" = "kvtest.inf kvtest.sys " ] || fail "$1 holds \"$names\", not kvtest.inf and kvtest.sys"
}

korvane backup-all --fast --cab --to 'C:\CABS'
holds_driver "$image/drive_c/CABS/Korvane Root Test Device.CAB"
korvane backup-all --fast --one-exe --to 'C:\OUT'
holds_driver "$image/drive_c/OUT/AllDrivers.EXE"
korvane backup 1 --fast --exe --to 'C:\OUT1'
holds_driver "$image/drive_c/OUT1/Korvane Root Test Device.EXE"

installs() {  # installs PACKAGE: run on the driverless device, the package installs the sample driver
  local what="${1##*/}"
  start_clean
  wine_run regedit /S "$(winpath "$here/tests/tools/driverless-device.reg")"
  [ -z "$(reg_value "$enum_key\\0000" Driver)" ] || fail "$what: the planted device has a driver already"
  cp "$1" "$work/package.exe"
  run "$work/package.exe"
  expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "$what"
  expect 0 "1 driver(s) in the package, 0 with failures." "$what"
  check_installed "$what"
}
installs "$image/drive_c/OUT/AllDrivers.EXE"
installs "$image/drive_c/OUT1/Korvane Root Test Device.EXE"
echo "$test_name: passed"

#!/usr/bin/env bash
# The one installer for all drivers keeps each driver's files apart. On a
# Windows 10 image two drivers lie in the driver store, the sample driver and
# a decoy for a device that is not there, each with a kvtest.sys of its own.
# The Linux korvane packs both into one EXE; the 64-bit stub, run on it under
# Wine, installs the sample driver with the sample's own kvtest.sys, not the
# decoy's that an extraction side by side would leave.
#   all-in-one-test.sh TOOLS_DIR BUILD_DIR LINUX_KORVANE
# Exits 77 (skipped) when the Linux build's korvane is not there, or fails
# when the run expects every suite to run (KORVANE_EXPECT_EVERY_SUITE).
set -euo pipefail
TOOLS_DIR="$1" BUILD_DIR="$2" test_name=all-in-one-test
source "$(dirname "$0")/tools-lib.sh"
korvane="$3"
need_linux_korvane
command -v cabextract >/dev/null || fail "cabextract is missing (scripts/setup installs it)"

# The image: the fixture's machine as Windows 10 x64, both drivers installed
# from their store packages (found by their INFs' bytes). The decoy's name
# sorts after the sample's, so that side by side its kvtest.sys would be
# extracted last, over the sample's.
image="$BUILD_DIR/tools-test/$test_name-image"
copy_fixture_machine "$image"
sed -i -e 's/^Major=.*/Major=10/' -e 's/^Minor=.*/Minor=0/' -e 's/^Build=.*/Build=19045/' \
  -e 's/^ServicePack=.*/ServicePack=/' -e 's/^ProcessorArchitecture=.*/ProcessorArchitecture=9/' "$image/machine.ini"
class="HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\$class_guid"
instance() {  # instance NUMBER INF HARDWARE_ID DESCRIPTION: a driver key as Windows 10 writes it
  printf '[%s\\%s]\r\n"InfPath"="%s"\r\n"InfSection"="KvInstall"\r\n"ProviderName"="Korvane Test"\r\n' "$class" "$1" "$2"
  printf '"MatchingDeviceId"="%s"\r\n"DriverDesc"="%s"\r\n\r\n' "${3//\\/\\\\}" "$4"
}
{
  printf 'REGEDIT4\r\n\r\n[%s]\r\n"Class"="KorvaneTest"\r\n\r\n' "$class"
  instance 0000 oem1.inf "$hardware_id" "Korvane Root Test Device"
  instance 0001 oem2.inf 'root\korvane_decoy' "Korvane Zeta Decoy Device"
} >"$image/registry/device-classes.reg"
store="$image/drive_c/WINDOWS/system32/DriverStore/FileRepository"
sample="$store/kvtest.inf_amd64_4b56000000000001" decoy="$store/kvdecoy.inf_amd64_4b56000000000002"
mkdir -p "$sample" "$decoy" "$image/drive_c/WINDOWS/inf" "$image/drive_c/WINDOWS/system32/drivers" "$image/drive_c/TEMP"
cp "$fixture/kvtest.inf" "$fixture/kvtest.sys" "$sample/"
sed 's/root\\korvane_test/root\\korvane_decoy/' "$fixture/kvtest.inf" >"$decoy/kvdecoy.inf"
printf 'the decoy: a file of the same name with other bytes\r\n' >"$decoy/kvtest.sys"
cp "$sample/kvtest.inf" "$image/drive_c/WINDOWS/inf/oem1.inf"
cp "$decoy/kvdecoy.inf" "$image/drive_c/WINDOWS/inf/oem2.inf"
cp "$fixture/kvtest.sys" "$image/drive_c/WINDOWS/system32/drivers/"

"$korvane" --machine "$image" backup-all --fast --one-exe --to 'C:\OUT' >"$image.log" 2>&1 ||
  fail "korvane backup-all --one-exe failed: $(cat "$image.log")"
exe="$image/drive_c/OUT/AllDrivers.EXE"
cabextract -t "$exe" >"$image.log" 2>&1 || fail "cabextract rejects $exe: $(cat "$image.log")"
names="$(cabextract -l "$exe" | awk -F ' [|] ' '$1 ~ /^ *[0-9]+$/ { print $3 }' | sort | tr '\n' ' ')"
[ "$names" = "${decoy##*/}/kvdecoy.inf ${decoy##*/}/kvtest.sys ${sample##*/}/kvtest.inf ${sample##*/}/kvtest.sys " ] ||
  fail "the installer holds \"$names\", not each package in a folder of its own"

# The carried stub is 32-bit, which this machine may not run: its 64-bit
# twin installs the package in the file it is given, as the stub would.
start_clean
rm -f "$drive/windows/inf/kvdecoy."[ip]nf
wine_run regedit /S "$(winpath "$here/tests/tools/driverless-device.reg")"
[ -z "$(reg_value "$enum_key\\0000" Driver)" ] || fail "the planted device has a driver already"
run "$TOOLS_DIR/installer.exe" "$(winpath "$exe")"
rm -f "$drive/windows/inf/kvdecoy."[ip]nf
expect 0 "2 driver(s) in the package, 0 with failures." "the one installer"
check_installed "the one installer"
echo "$test_name: passed"

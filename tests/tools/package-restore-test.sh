#!/usr/bin/env bash
# A driver package backed up from a Windows with a driver store, restored by
# devmount.exe under Wine as the program starts it: the backup folder holds
# the package's INF and catalog at the top and its binary in a sub-folder that
# the INF names, beside Setup.DIY. devmount stages the package first and then
# installs it on every present device it suits: the one with the backed-up
# hardware ID and a second one that another model of the INF names. The
# binary comes from the sub-folder, so the tree must be there as backed up.
# Then the whole folder above it, as Restore All hands it over.
#   package-restore-test.sh TOOLS_DIR BUILD_DIR
set -euo pipefail
TOOLS_DIR="$1" BUILD_DIR="$2" test_name=package-restore-test
source "$(dirname "$0")/tools-lib.sh"
start_clean

# The backup folder: the sample driver as a package whose binary lies in x64\.
package="$work/backup/Korvane Package Device"
mkdir -p "$package/x64"
sed -e 's/^1=%Disk%,,,\r$/1=%Disk%,,,x64\r/' -e 's/^\[Version\]\r$/[Version]\r\nCatalogFile=kvpkg.cat\r/' \
  "$fixture/kvtest.inf" >"$package/kvpkg.inf"
grep -q '^CatalogFile=kvpkg.cat' "$package/kvpkg.inf" && grep -q ',,,x64' "$package/kvpkg.inf" ||
  fail "the package INF was not made from the sample"
cp "$fixture/kvtest.sys" "$package/x64/"
printf 'Korvane test catalog\r\n' >"$package/kvpkg.cat"
printf '%s\r\nkvpkg.inf\r\n' "$hardware_id" >"$package/Setup.DIY"
(cd "$package" && find . -type f -exec md5sum {} + | sort) >"$work/package.before"

# Two devices as Windows finds them after a reinstallation, present without
# a driver: the backed-up one and another that a second model of the INF names.
pci_id='PCI\VEN_4B56&DEV_0001&SUBSYS_00014B56'  # as in driverless-pci-device.reg
plant_devices() {
  remove_sample_driver
  rm -f "$drive/windows/inf/kvpkg."[ip]nf
  wine_run regedit /S "$(winpath "$here/tests/tools/driverless-device.reg")"
  wine_run regedit /S "$(winpath "$here/tests/tools/driverless-pci-device.reg")"
}
plant_devices

rc=0
out="$(cd "$package" && wine_run "$TOOLS_DIR/devmount.exe" "$(winpath "$package/kvpkg.inf")" "$hardware_id" \
  2>"$work/stderr" | tr -d '\r')" || rc=$?
expect 0 "The driver is staged as C:\\windows\\inf\\kvpkg.inf." "staging"
expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "the backed-up device"
expect 0 "Installed the driver for the devices with hardware ID $pci_id." "the other device the package suits"
expect 0 "1 present device(s) have this hardware ID; 2 present device(s) match the driver." "the devices"
check_installed "the backed-up device" kvpkg.inf
[ -n "$(reg_value "$enum_key\\0001" Driver)" ] || fail "the other device the package suits got no driver"

# Staged where Plug and Play looks. Wine 8.0 has no driver store of its own:
# the INF goes into the INF folder and remembers the backup folder as its
# source. Where a store exists, the package's whole tree must be in it.
store="$(find "$drive/windows" -maxdepth 3 -ipath '*/system32/driverstore/filerepository' -type d | head -n 1)"
if [ -n "$store" ] && [ -n "$(find "$store" -maxdepth 1 -iname 'kvpkg.inf_*')" ]; then
  staged="$(find "$store" -maxdepth 1 -iname 'kvpkg.inf_*' | head -n 1)"
  cmp -s "$package/x64/kvtest.sys" "$staged/x64/kvtest.sys" || fail "the store's package lacks x64\\kvtest.sys"
else
  cmp -s "$package/kvpkg.inf" "$drive/windows/inf/kvpkg.inf" || fail "the staged INF differs from the package's"
fi

# Restoring changes nothing in the backup.
(cd "$package" && find . -type f -exec md5sum {} + | sort) >"$work/package.after"
cmp -s "$work/package.before" "$work/package.after" || fail "the backup folder changed: $(diff "$work/package.before" "$work/package.after")"

# A whole backup folder, as Restore All hands it over: every package below it
# is added where it lies and installed on the devices it suits.
plant_devices
run "$TOOLS_DIR/devmount.exe" add-driver "$(winpath "$work/backup")"
expect 0 "Korvane Package Device\kvpkg.inf" "a whole backup folder"
expect 0 "1 driver(s) in the folder, 0 with failures." "a whole backup folder"
check_installed "a whole backup folder" kvpkg.inf
[ -n "$(reg_value "$enum_key\\0001" Driver)" ] || fail "a whole backup folder: the other device got no driver"
run "$TOOLS_DIR/devmount.exe" add-driver "$(winpath "$package/x64")"
expect 2 "The folder holds no device driver." "a folder without drivers"
run "$TOOLS_DIR/devmount.exe" add-driver 'C:\nowhere'
expect 2 'The folder C:\nowhere was not found.' "a missing folder"
rm -f "$drive/windows/inf/kvpkg."[ip]nf
echo "$test_name: passed"

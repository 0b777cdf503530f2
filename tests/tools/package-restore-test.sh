#!/usr/bin/env bash
# A driver package backed up from a Windows with a driver store, restored by
# devmount.exe under Wine as the program starts it: the backup folder holds
# the package's INF and catalog at the top and its binary in a sub-folder that
# the INF names, beside Setup.DIY. devmount stages the package first and then
# installs it on every present device it suits: the one with the backed-up
# hardware ID and a second one that another model of the INF names. The
# binary comes from the sub-folder, so the tree must be there as backed up.
# Then the whole folder above it, as Restore All hands it over. Last, a
# driver installed from a package in the driver store: the console program
# backs it up (a folder, a CAB and an EXE) and each backup is restored.
#   package-restore-test.sh TOOLS_DIR BUILD_DIR CONSOLE_EXE [console]
# With "console", "korvane restore" starts the carried devmount.exe on the
# backup folder (that needs the 32-bit tools); otherwise the test runs the
# tool of TOOLS_DIR with the command line the console program gives it.
set -euo pipefail
TOOLS_DIR="$1" BUILD_DIR="$2" console="$(realpath "$3")" restore_by="${4:-tool}" test_name=package-restore-test
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
stored_name=kvpkg.inf_amd64_4b56000000000001  # the package planted in the store below
plant_devices() {
  remove_sample_driver
  rm -f "$drive/windows/inf/kvpkg."[ip]nf
  wine_run regedit /S "$(winpath "$here/tests/tools/driverless-device.reg")"
  wine_run regedit /S "$(winpath "$here/tests/tools/driverless-pci-device.reg")"
}
plant_devices

# Staged where Plug and Play looks. Wine 8.0 has no driver store of its own:
# SetupCopyOEMInf copies the INF into the INF folder, under its own name,
# with a PNF that remembers the backup folder as its source. Where a store
# exists, the package's whole tree must be in it.
check_staged() {  # check_staged WHAT
  local store staged inf
  store="$(find "$drive/windows" -maxdepth 3 -ipath '*/system32/driverstore/filerepository' -type d | head -n 1)"
  staged="$( [ -z "$store" ] || find "$store" -maxdepth 1 -iname 'kvpkg.inf_*' ! -name "$stored_name" | head -n 1)"
  if [ -n "$staged" ]; then
    cmp -s "$package/x64/kvtest.sys" "$staged/x64/kvtest.sys" || fail "$1: the store's package lacks x64\\kvtest.sys"
    return
  fi
  for inf in "$drive/windows/inf/"*.inf; do
    cmp -s "$package/kvpkg.inf" "$inf" && staged="$inf"
  done
  [ -n "$staged" ] || fail "$1: no INF of C:\\windows\\inf is the package's: $(ls "$drive/windows/inf")"
  [ -e "${staged%.inf}.pnf" ] || fail "$1: ${staged##*/} has no PNF beside it"
}

rc=0
out="$(cd "$package" && wine_run "$TOOLS_DIR/devmount.exe" "$(winpath "$package/kvpkg.inf")" "$hardware_id" \
  2>"$work/stderr" | tr -d '\r')" || rc=$?
expect 0 "The driver is staged as C:\\windows\\inf\\kvpkg.inf." "staging"
expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "the backed-up device"
expect 0 "Installed the driver for the devices with hardware ID $pci_id." "the other device the package suits"
expect 0 "1 present device(s) have this hardware ID; 2 present device(s) match the driver." "the devices"
check_installed "the backed-up device" kvpkg.inf
[ -n "$(reg_value "$enum_key\\0001" Driver)" ] || fail "the other device the package suits got no driver"

check_staged "staging"

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

# A driver installed from a package in the driver store, as Windows 8 and
# later keep one: the package folder (INF, catalog, the binary in x64\) under
# FileRepository, oem42.inf in the INF folder a copy of its INF, and the
# DriverDatabase keys that tie the two.
description="Korvane Package Device"
system32="$(find "$drive/windows" -maxdepth 1 -iname system32 -type d)"
stored="$system32/DriverStore/FileRepository/$stored_name"
forget_driver() {  # as on a fresh Windows: the devices without a driver, no package in the store
  plant_devices
  rm -rf "$stored" "$drive/windows/inf/oem42."[ip]nf
  wine_run reg delete 'HKLM\SYSTEM\DriverDatabase' /f >/dev/null 2>&1 || true
}
forget_driver
mkdir -p "$stored/x64"
cp "$package/kvpkg.inf" "$package/kvpkg.cat" "$stored/"
cp "$package/x64/kvtest.sys" "$stored/x64/"
run "$TOOLS_DIR/devmount.exe" "$(winpath "$stored/kvpkg.inf")" "$hardware_id"
expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "installing the stored package"
mv "$drive/windows/inf/kvpkg.inf" "$drive/windows/inf/oem42.inf"
rm -f "$drive/windows/inf/kvpkg.pnf"
driver_key="HKLM\\System\\CurrentControlSet\\Control\\Class\\$(reg_value "$enum_key\\0000" Driver)"
wine_run reg add "$driver_key" /v InfPath /d oem42.inf /f >/dev/null
wine_run reg add "$driver_key" /v DriverDesc /d "$description" /f >/dev/null
wine_run reg add "$driver_key" /v MatchingDeviceID /d "$hardware_id" /f >/dev/null
wine_run reg add 'HKLM\SYSTEM\DriverDatabase\DriverInfFiles\oem42.inf' /v Active /d "$stored_name" /f >/dev/null
wine_run reg add "HKLM\\SYSTEM\\DriverDatabase\\DriverPackages\\$stored_name" /ve /d oem42.inf /f >/dev/null

# The console program backs it up: the package whole, Setup.DIY naming the package's own INF.
row="$(sample_driver_row oem42.inf)"
backup_with() {  # backup_with ARGS...: the console program backs up the row
  wine_run "$console" backup "$row" "$@" >"$work/backup.out" 2>"$work/backup.err" ||
    fail "backup $*: $(tr -d '\r' <"$work/backup.out" "$work/backup.err")"
  grep -qF "Backed up as its complete driver store package: C:\\windows\\system32\\DriverStore\\FileRepository\\$stored_name" \
    <(tr -d '\r' <"$work/backup.out") || fail "backup $*: not as the store package: $(tr -d '\r' <"$work/backup.out")"
}
rm -rf "$drive/KvStore" "$drive/KvExe" "$drive/KvCab" "$drive/KvUnpacked"
backup_with --to 'C:\KvStore'
backup_with --exe --to 'C:\KvExe'
backup_with --cab --to 'C:\KvCab'
files_of() { (cd "$1" && find . -type f ! -name Setup.DIY | sort); }  # files_of FOLDER: its tree but our Setup.DIY
folder="$drive/KvStore/$description"
[ "$(files_of "$folder")" = "$(files_of "$stored")" ] || fail "the backup is not the stored package: $(files_of "$folder")"
grep -qaF kvpkg.inf "$folder/Setup.DIY" || fail "Setup.DIY names another INF than the package's"
wine_run "$console" cab extract 'C:\KvCab\Korvane Package Device.CAB' 'C:\KvUnpacked' >/dev/null 2>"$work/stderr" ||
  fail "the CAB backup cannot be unpacked: $(tr -d '\r' <"$work/stderr")"
[ "$(files_of "$drive/KvUnpacked")" = "$(files_of "$stored")" ] || fail "the CAB backup is not the stored package"

# The folder backup, restored on a Windows that has lost the driver.
forget_driver
backup_folder="C:\\KvStore\\$description"
if [ "$restore_by" = console ]; then
  run "$console" restore "$backup_folder"
  expect 0 "Installating $backup_folder\\kvpkg.inf device driver into your system" "restore by the console program"
  # The tool runs on its own; it is given a while, and the prefix must come to rest.
  for _ in $(seq 60); do
    [ -n "$(reg_value "$enum_key\\0000" Driver)" ] && break
    sleep 1
  done
  WINEPREFIX="$KORVANE_WINEPREFIX" timeout 60 wineserver -w || true
  rm -f "$drive/windows/devmount.exe"
else
  # The console program starts the 32-bit tool, which a kernel without 32-bit
  # support cannot run: its command line, in the backup folder, goes to the twin.
  rc=0
  out="$(cd "$folder" && wine_run "$TOOLS_DIR/devmount.exe" "$backup_folder\\kvpkg.inf" "$hardware_id" \
    2>"$work/stderr" | tr -d '\r')" || rc=$?
  expect 0 "The driver is staged as C:\\windows\\inf\\kvpkg.inf." "the folder backup"
  expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "the folder backup"
fi
check_installed "the folder backup" kvpkg.inf
check_staged "the folder backup"

# The EXE backup, as its stub installs it, and the unpacked CAB backup, as
# restoring a folder without Setup.DIY hands it to the tool.
forget_driver
run "$TOOLS_DIR/installer.exe" "$(winpath "$drive/KvExe/$description.EXE")"
expect 0 "1 driver(s) in the package, 0 with failures." "the EXE backup"
expect 0 "The driver is staged as " "the EXE backup"
check_installed "the EXE backup" kvpkg.inf
check_staged "the EXE backup"
forget_driver
run "$TOOLS_DIR/devmount.exe" add-driver "$(winpath "$drive/KvUnpacked")"
expect 0 "1 driver(s) in the folder, 0 with failures." "the CAB backup"
expect 0 "The driver is staged as " "the CAB backup"
check_installed "the CAB backup" kvpkg.inf
check_staged "the CAB backup"

forget_driver
rm -rf "$drive/KvStore" "$drive/KvExe" "$drive/KvCab" "$drive/KvUnpacked"
echo "$test_name: passed"

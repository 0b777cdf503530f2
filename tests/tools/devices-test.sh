#!/usr/bin/env bash
# devmount.exe and devunmnt.exe under Wine on the sample driver: wrong
# arguments, a missing INF and a file that is no INF; installing on a new
# root device, again on the now present one, and staging for absent hardware;
# refusing an ID the INF does not name before anything is changed;
# removing by hardware ID, and an ID no device has; waiting for a key in a
# console window of its own.
#   devices-test.sh TOOLS_DIR BUILD_DIR
set -euo pipefail
TOOLS_DIR="$1" BUILD_DIR="$2" test_name=devices-test
source "$(dirname "$0")/tools-lib.sh"
devmount="$TOOLS_DIR/devmount.exe" devunmnt="$TOOLS_DIR/devunmnt.exe"
inf="$(winpath "$fixture/kvtest.inf")"
start_clean

run "$devmount"
expect 1 "usage: install <INF_File> <Hardware_ID>" "devmount without arguments"
run "$devmount" install "$inf"
expect 1 "usage: install <INF_File> <Hardware_ID>" "devmount with one argument after the verb"
run "$devmount" 'C:\nowhere\kvtest.inf' "$hardware_id"
expect 2 'The INF file C:\nowhere\kvtest.inf was not found.' "devmount with a missing INF"
run "$devmount" "$(winpath "$fixture/kvtest.sys")" "$hardware_id"
expect 2 "The INF file names no device class" "devmount with a file that is no INF"
# Wine says it is a Windows with a driver store: the INF is looked at before anything is changed.
run "$devmount" "$inf" 'root\korvane_unknown'
expect 3 'The INF names no driver for hardware ID root\korvane_unknown; nothing was installed.' "devmount for an ID the INF does not name"
key_exists "$enum_key\\0000" && fail "a failed devmount left a device"
[ ! -e "$drive/windows/inf/kvtest.inf" ] || fail "a failed devmount staged the driver"

# As the program starts it: the INF's full path and the hardware ID, in the INF's folder.
rc=0
out="$(cd "$fixture" && wine_run "$devmount" "$inf" "$hardware_id" 2>"$work/stderr" | tr -d '\r')" || rc=$?
expect 0 'Created the root-enumerated device ROOT\KORVANETEST\0000.' "devmount on no present device"
expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "devmount on no present device"
check_installed "devmount on a new root device"

run "$devmount" install "$inf" "$hardware_id"
expect 0 "1 present device(s) have this hardware ID; 1 present device(s) match the driver." "devmount on the present device"
[ "$(wine_run reg query "$enum_key" | tr -d '\r' | grep -ci '^HKEY.*\\KORVANETEST\\')" = 1 ] ||
  fail "devmount on the present device made a second device"
check_installed "devmount on the present device"

# Hardware that is not there gets the driver staged, never a root device of its own.
run "$devmount" "$inf" 'PCI\VEN_4B56&DEV_0001'
expect 0 "Windows installs the driver when the device is connected." "devmount for absent hardware"
expect 0 'The driver is staged as C:\windows\inf\kvtest.inf.' "devmount for absent hardware"
key_exists 'HKLM\System\CurrentControlSet\Enum\ROOT\KORVANETEST\0001' && fail "devmount made a root device for PCI hardware"
cmp -s "$fixture/kvtest.inf" "$drive/windows/inf/kvtest.inf" || fail "the staged INF differs from the sample"

run "$devunmnt"
expect 1 "usage: remove <Hardware_ID>" "devunmnt without arguments"
grep -q "Press a key" <<<"$out" && fail "devunmnt waited for a key with its output redirected"
# In a console window of its own (a terminal here) it waits for a key before the window closes.
rc=0
out="$( (for _ in 1 2 3 4 5 6 7 8 9 10; do sleep 1; printf x; done) |
  script -qec "$here/scripts/wine-run $devunmnt" /dev/null | tr -d '\r')" || rc=$?
expect 1 "Press a key to close this window" "devunmnt in a console window of its own"
run "$devunmnt" remove 'ROOT\KORVANE_TEST' extra
expect 1 "usage: remove <Hardware_ID>" "devunmnt with two arguments after the verb"
run "$devunmnt" 'ROOT\KORVANE_NONE'
expect 4 'No present device has the hardware ID ROOT\KORVANE_NONE.' "devunmnt with an unknown ID"
key_exists "$enum_key\\0000" || fail "devunmnt with an unknown ID removed our device"

# As the program starts it: the ID in upper case, in the Windows folder.
driver_key="HKLM\\System\\CurrentControlSet\\Control\\Class\\$(reg_value "$enum_key\\0000" Driver)"
rc=0
out="$(cd "$drive/windows" && wine_run "$devunmnt" 'ROOT\KORVANE_TEST' 2>"$work/stderr" | tr -d '\r')" || rc=$?
expect 0 'Removed the device ROOT\KORVANETEST\0000.' "devunmnt"
key_exists "$enum_key\\0000" && fail "devunmnt left the device's instance key"
key_exists "$driver_key" && fail "devunmnt left the device's driver key"
run "$devunmnt" remove 'ROOT\KORVANE_TEST'
expect 4 'No present device has the hardware ID ROOT\KORVANE_TEST.' "devunmnt once the device is gone"
no_temp_left "devunmnt"
echo "$test_name: passed"

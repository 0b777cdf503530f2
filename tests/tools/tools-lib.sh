# Sourced by the tests of the carried tools: a Wine prefix of their own, the
# sample driver of tests/fixtures/testdriver and ways to look into the prefix.
#   TOOLS_DIR and BUILD_DIR are set by the test; here is the repository root.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
fixture="$here/tests/fixtures/testdriver"
hardware_id='root\korvane_test'
class_guid='{4B4F5256-414E-4554-5354-4B5630303032}'
enum_key='HKLM\System\CurrentControlSet\Enum\ROOT\KORVANETEST'
class_key="HKLM\\System\\CurrentControlSet\\Control\\Class\\$class_guid"

# The device tests and the package tests take turns in one prefix (ctest's
# RESOURCE_LOCK): each starts from a prefix without our device. WINEARCH
# (win64, the default, or win32) chooses the Windows: on a 32-bit one the
# programs do the work themselves, on a 64-bit one their 64-bit twins do.
BUILD_DIR="$(realpath -m "$BUILD_DIR")" TOOLS_DIR="$(realpath -m "$TOOLS_DIR")"
export WINEARCH="${WINEARCH:-win64}"
export KORVANE_WINEPREFIX="$BUILD_DIR/wineprefix-tools-$WINEARCH"
drive="$KORVANE_WINEPREFIX/drive_c"
work="$BUILD_DIR/tools-test/$test_name-$WINEARCH"

fail() { echo "$test_name: $*" >&2; exit 1; }
# Skips the test (exit 77) when the Linux build's $korvane is missing, or
# fails when the run expects every suite to run (KORVANE_EXPECT_EVERY_SUITE).
need_linux_korvane() {
  [ -x "$korvane" ] && return
  echo "$test_name: skipped: no Linux build of korvane at $korvane (build the linux preset first)" >&2
  [ "${KORVANE_EXPECT_EVERY_SUITE:-0}" = 0 ] || exit 1
  exit 77
}
# A fresh copy of the fixture's machine image (XP, the sample driver's class) at IMAGE.
copy_fixture_machine() {  # copy_fixture_machine IMAGE
  rm -rf "$1"
  mkdir -p "$(dirname "$1")"
  cp -r "$here/tests/fixtures/kvtest-machine" "$1"
}
wine_run() { "$here/scripts/wine-run" "$@"; }
winpath() { local p; p="$(realpath -m "$1")"; printf 'Z:%s' "${p//\//\\}"; }

# run PROGRAM ARGS...: the program's output without carriage returns in $out, its exit code in $rc.
run() {
  rc=0
  out="$(wine_run "$@" 2>"$work/stderr" | tr -d '\r')" || rc=$?
}

expect() {  # expect RC TEXT WHAT: the last run ended with RC and printed a line holding TEXT
  [ "$rc" = "$1" ] || fail "$3: exit code $rc, not $1; it said: $out"
  grep -qF -- "$2" <<<"$out" || fail "$3: no \"$2\" in: $out"
}

# One value of a registry key as reg.exe shows it; empty when key or value is missing.
reg_value() {  # reg_value KEY NAME
  { wine_run reg query "$1" /v "$2" 2>/dev/null || true; } | tr -d '\r' |
    awk -v n="$2" 'tolower($1) == tolower(n) { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
key_exists() { wine_run reg query "$1" >/dev/null 2>&1; }

# The drivers folder of 64-bit programs, and the one WOW64 shows 32-bit programs.
drivers_folder() { find "$drive/windows" -maxdepth 2 -ipath "$drive/windows/$1/drivers" -type d | head -n 1; }

# Our device gone from the registry, its file from the drivers folders, no
# temporary folders of ours left: the state every test starts from.
start_clean() {
  rm -rf "$work"
  mkdir -p "$work"
  remove_sample_driver
}

# The sample driver's devices, keys and files gone, and our temporary folders.
remove_sample_driver() {
  wine_run regedit /S "$(winpath "$here/tests/tools/remove-device.reg")"
  [ -n "$(drivers_folder system32)" ] || fail "the prefix has no drivers folder"
  rm -f "$(drivers_folder system32)/kvtest.sys" "$(drivers_folder syswow64)/kvtest.sys" "$drive/windows/inf/kvtest."[ip]nf
  find "$drive/users" -maxdepth 3 -ipath '*/temp/korvane-*' -exec rm -rf {} +
}

# Checks that the driver of the sample INF (or of INF, made from it) is
# installed on the device ROOT\KORVANETEST\0000.
check_installed() {  # check_installed WHAT [INF]
  local ids driver inf="${2:-kvtest.inf}"
  ids="$(reg_value "$enum_key\\0000" HardwareID)"
  grep -qixF -- "$hardware_id" <<<"${ids//\\0/$'\n'}" || fail "$1: the device's hardware IDs are \"$ids\""
  [ "$(reg_value "$enum_key\\0000" ClassGUID)" = "$class_guid" ] || fail "$1: the device is not of the INF's class"
  driver="$(reg_value "$enum_key\\0000" Driver)"
  case "$driver" in "$class_guid\\"[0-9][0-9][0-9][0-9]) ;; *) fail "$1: the device's driver key is \"$driver\"" ;; esac
  local driver_key="HKLM\\System\\CurrentControlSet\\Control\\Class\\$driver"
  [ "$(reg_value "$driver_key" InfPath)" = "$inf" ] || fail "$1: the driver key's InfPath is \"$(reg_value "$driver_key" InfPath)\""
  [ "$(reg_value "$driver_key" InfSection)" = KvInstall ] || fail "$1: the driver key names another install section"
  # On 64-bit Windows the twin did the work: the file is in the real drivers
  # folder, not in the one WOW64 shows 32-bit programs.
  cmp -s "$fixture/kvtest.sys" "$(drivers_folder system32)/kvtest.sys" || fail "$1: kvtest.sys did not arrive in the drivers folder"
  [ ! -e "$(drivers_folder syswow64)/kvtest.sys" ] || fail "$1: kvtest.sys went to the 32-bit drivers folder"
  no_temp_left "$1"
}

no_temp_left() {  # no_temp_left WHAT
  local left
  left="$(find "$drive/users" -maxdepth 3 -ipath '*/temp/korvane-*')"
  [ -z "$left" ] || fail "$1: temporary folders are left: $left"
}

# The sample driver installed by devmount.exe on a new root device and
# described in its driver key as Windows does (Wine's setup functions leave
# DriverDesc and MatchingDeviceID out); sets driver_key. Needs description.
install_sample_driver() {
  run "$TOOLS_DIR/devmount.exe" "$(winpath "$fixture/kvtest.inf")" "$hardware_id"
  expect 0 "Installed the driver for the devices with hardware ID $hardware_id." "devmount"
  driver_key="HKLM\\System\\CurrentControlSet\\Control\\Class\\$(reg_value "$enum_key\\0000" Driver)"
  wine_run reg add "$driver_key" /v DriverDesc /d "$description" /f >/dev/null
  wine_run reg add "$driver_key" /v MatchingDeviceID /d "$hardware_id" /f >/dev/null
}

# The installed sample driver's row in the console program's collect list,
# the driver installed from the INF named (kvtest.inf when none is).
sample_driver_row() {  # sample_driver_row [INF]
  local collect row
  collect="$(wine_run "$console" collect 2>"$work/collect.err" | tr -d '\r')" || fail "collect failed"
  row="$(printf '%s\n' "$collect" | grep -P '^([^\t]*\t){5}[^\t]*$' |
    awk -F'\t' -v d="$description" -v inf="${1:-kvtest.inf}" '$1 == d && $2 == inf { print NR }')"
  [ -n "$row" ] || fail "collect does not list $description: $collect"
  printf '%s' "$row"
}

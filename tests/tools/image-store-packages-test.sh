#!/usr/bin/env bash
# The one installer for all drivers that the Linux build makes of the
# Windows 10 sample, installed by the package stub under Wine: each store
# package lies in a folder of its own in the cabinet, sub-folders included,
# and the stub stages every one from there. No device of the sample is
# present, so none is installed; the staged INFs are taken away again.
#   image-store-packages-test.sh TOOLS_DIR BUILD_DIR LINUX_KORVANE
# Exits 77 (skipped) when the Linux build's korvane is not there, or fails
# when the run expects every suite to run (KORVANE_EXPECT_EVERY_SUITE).
set -euo pipefail
TOOLS_DIR="$1" BUILD_DIR="$2" test_name=image-store-packages-test
source "$(dirname "$0")/tools-lib.sh"
korvane="$3"
need_linux_korvane
start_clean

image="$work/win10"
cp -r "$here/samples/win10" "$image"
"$korvane" --machine "$image" backup-all --fast --one-exe --to 'C:\All' >"$work/korvane.log" 2>&1 ||
  fail "backup-all --one-exe failed: $(cat "$work/korvane.log")"

packages=(brnwave.inf_amd64_b23430c18e575d3f corvnvme.inf_amd64_548c06c4f5a08c19 hldnser.inf_amd64_85aa54f1007cd362
  orvkhda.inf_amd64_a51477f4b2a426ea pwcrdr.inf_amd64_373ba4d25f886b7d tessgfx.inf_amd64_0e88d1a63d92a85d
  vlmptp.inf_amd64_500d843eabca77c7)
unstage() { for package in "${packages[@]}"; do rm -f "$drive/windows/inf/${package%%.inf_*}."[ip]nf; done; }
unstage
run "$TOOLS_DIR/installer.exe" "$(winpath "$image/drive_c/All/AllDrivers.EXE")"
expect 0 "${#packages[@]} driver(s) in the package, 0 with failures." "the installer for all drivers"
for package in "${packages[@]}"; do
  inf="${package%%_*}"
  staged="$package\\$inf"$'\n'"The driver is staged as C:\\windows\\inf\\$inf."
  [[ "$out" == *"$staged"* ]] || fail "$package: not staged from its own folder: $out"
  cmp -s "$image/drive_c/Windows/System32/DriverStore/FileRepository/$package/$inf" "$drive/windows/inf/$inf" ||
    fail "$package: the staged INF is not the package's"
done
unstage
no_temp_left "the installer for all drivers"
echo "$test_name: passed"

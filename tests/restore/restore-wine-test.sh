#!/usr/bin/env bash
# Restore by the Windows console program under Wine: the sample driver is
# installed with devmount.exe, backed up by "korvane backup", taken away, and
# "korvane restore" on its backup folder reads the folder's Setup.DIY and
# starts the carried devmount.exe, which installs the driver again.
#   restore-wine-test.sh CONSOLE_EXE TOOLS_DIR BUILD_DIR
set -euo pipefail
console="$1" TOOLS_DIR="$2" BUILD_DIR="$3" test_name=restore-wine-test
source "$(dirname "$0")/../tools/tools-lib.sh"
description="Korvane Root Test Device"
backup="$drive/KvBackup"
start_clean
rm -rf "$backup"

install_sample_driver
row="$(sample_driver_row)"
wine_run "$console" backup "$row" --to 'C:\KvBackup' >"$work/backup.out" 2>"$work/backup.err" ||
  fail "backup failed: $(tr -d '\r' <"$work/backup.err")"
folder="$backup/$description"
for file in kvtest.inf kvtest.sys Setup.DIY; do
  [ -e "$folder/$file" ] || fail "the backup folder has no $file: $(ls "$folder" 2>&1)"
done

# The driver goes: its device, its keys and its files.
start_clean
key_exists "$enum_key\\0000" && fail "the device is still there before the restore"

wine_run "$console" restore "C:\\KvBackup\\$description" >"$work/restore.out" 2>"$work/restore.err" ||
  fail "restore failed: $(tr -d '\r' <"$work/restore.err")"
grep -qF "Installating C:\\KvBackup\\$description\\kvtest.inf device driver into your system ......." \
  <(tr -d '\r' <"$work/restore.out") || fail "no installation line: $(tr -d '\r' <"$work/restore.out")"
# The tool runs on its own; it is given a while to install the driver.
for _ in $(seq 60); do
  [ -n "$(reg_value "$enum_key\\0000" Driver)" ] && break
  sleep 1
done
check_installed "restore"
# The tool may still wait for a key in its window; the next test must find the prefix at rest.
# Shutdown could not delete the running tool: that copy goes with the backup.
WINEPREFIX="$KORVANE_WINEPREFIX" timeout 60 wineserver -w || true
rm -rf "$backup" "$drive/windows/devmount.exe"
echo "$test_name: passed"

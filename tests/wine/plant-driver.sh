# Sourced by the Wine tests: plants a driver of our own in a Wine prefix, as
# an installed driver leaves it (the class key in the registry, the INF in the
# INF folder, its one file in the drivers folder).
#   plant_driver WORK_DIR   (KORVANE_WINEPREFIX names the prefix; wine_run and fail exist)
# Sets drive, inf_folder, drivers, description and hardware_id.
description="Korvane Test Device"
hardware_id='ROOT\KVTEST_0001'
plant_class='{4B4F5256-414E-4554-5354-4B5630303031}'

plant_driver() {
  local work="$1"
  drive="$KORVANE_WINEPREFIX/drive_c"
  cat >"$work/driver.reg" <<REG
REGEDIT4

[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Class\\$plant_class\\0000]
"DriverDesc"="$description"
"InfPath"="oemkv1.inf"
"ProviderName"="Korvane Test"
"DriverVersion"="1.2.3.4"
"DriverDate"="5-6-2004"
"MatchingDeviceID"="${hardware_id//\\/\\\\}"
REG
  local reg="$work/driver.reg"
  wine_run regedit /S "Z:${reg//\//\\}"  # creates the prefix on first use; Z: is the host's root
  inf_folder="$(find "$drive" -maxdepth 2 -ipath "$drive/windows/inf" -type d | head -n 1)"
  drivers="$(find "$drive" -maxdepth 4 -ipath "$drive/windows/system32/drivers" -type d | head -n 1)"
  [ -n "$inf_folder" ] && [ -n "$drivers" ] || fail "the prefix has no INF or drivers folder"
  printf '%s\r\n' '[Version]' 'Signature="$Windows NT$"' 'Class=KorvaneTest' "ClassGuid=$plant_class" 'Provider=%Kv%' '' \
    '[DestinationDirs]' 'DefaultDestDir = 12' '' '[Manufacturer]' '%Kv%=KvModels' '' \
    '[KvModels]' "%KvDevice%=KvInstall,$hardware_id" '' '[KvInstall]' 'CopyFiles=KvCopyFiles' '' \
    '[KvCopyFiles]' 'kvtest.sys' '' '[SourceDisksNames]' '1 = %Disk%,,,' '' '[SourceDisksFiles]' 'kvtest.sys = 1' '' \
    '[Strings]' 'Kv="Korvane Test"' "KvDevice=\"$description\"" 'Disk="Korvane Test Disk"' >"$inf_folder/oemkv1.inf"
  head -c 20000 /dev/urandom >"$drivers/kvtest.sys"
}

# The 1-based row of our driver in a collect output (the list is its last COUNT lines).
planted_row() {  # planted_row OUTPUT COUNT
  printf '%s\n' "$1" | tail -n "$2" | awk -F'\t' -v d="$description" '$1 == d && $2 == "oemkv1.inf" { print NR }'
}

# Checks a driver folder a backup made of the planted driver.
check_driver_folder() {  # check_driver_folder FOLDER
  local folder="$1"
  [ -d "$folder" ] || fail "no driver folder $folder; its parent holds: $(ls "$(dirname "$folder")" 2>&1)"
  cmp "$inf_folder/oemkv1.inf" "$folder/oemkv1.inf" || fail "the INF copy differs"
  cmp "$drivers/kvtest.sys" "$folder/kvtest.sys" || fail "the driver file copy differs"
  local extra
  extra="$(ls "$folder" | grep -v -x -e oemkv1.inf -e kvtest.sys -e Setup.DIY || true)"
  [ -z "$extra" ] || fail "the driver folder holds more than it should: $extra"
  # Setup.DIY is rich text: the hardware identifier (a backslash is written as
  # two) in one paragraph, the INF name in the next, and no third line of text.
  local diy="$folder/Setup.DIY"
  [ -f "$diy" ] || fail "no Setup.DIY"
  [ "$(head -c 5 "$diy")" = '{\rtf' ] || fail "Setup.DIY is no rich text: $(head -c 40 "$diy")"
  local flat escaped_id="${hardware_id//\\/\\\\}"
  flat="$(tr -d '\r\n\0' <"$diy")"  # one control ends the document with a NUL
  case "$flat" in
    *[\ }]"$escaped_id\\paroemkv1.inf\\par}") ;;
    *) fail "Setup.DIY does not name $hardware_id and then oemkv1.inf: $flat" ;;
  esac
}

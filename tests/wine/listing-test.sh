#!/usr/bin/env bash
# The Windows console program's device listing under Wine, in three locales:
# the file in the code page Notepad of that system reads (UTF-8 with its mark
# when a description has no place there), the heading in the locale's own
# date and time, every missing folder made; a folder that cannot be made and
# printing without a default printer fail without "OK".
#   listing-test.sh CONSOLE_EXE BUILD_DIR
set -euo pipefail
console="$1" build="$2"
here="$(cd "$(dirname "$0")/../.." && pwd)"

fail() { echo "listing-test: $*" >&2; exit 1; }

export KORVANE_WINEPREFIX="$build/wineprefix-listing"
# Wine's print spooler offers the host's printers: here neither CUPS nor a
# printcap file has any.
export CUPS_SERVER=/nonexistent/cups.sock PRINTCAP=/dev/null
work="$build/listing-test"
rm -rf "$work"
mkdir -p "$work"
drive="$KORVANE_WINEPREFIX/drive_c"

# A driver whose description the Chinese code pages hold and Windows-1252 does not.
description="Korvane 中文"
reg="$work/driver.reg"
{
  printf '\xff\xfe'
  printf '%s\r\n' "Windows Registry Editor Version 5.00" "" \
    '[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Class\{4B4F5256-414E-4554-4C53-543030303031}\0000]' \
    "\"DriverDesc\"=\"$description\"" '"InfPath"="oemkv2.inf"' '"ProviderName"="Korvane Test"' \
    '"DriverVersion"="1.2.3.4"' '"DriverDate"="5-6-2004"' '"MatchingDeviceID"="ROOT\\KVLIST"' "" |
    iconv -f UTF-8 -t UTF-16LE
} >"$reg"
"$here/scripts/wine-run" regedit /S "Z:${reg//\//\\}"  # creates the prefix; Z: is the host's root
rm -rf "$drive/KVLIST"

# listing LOCALE LANGUAGE FOLDER [--print]: the console program's listing
# with that locale, interface language and backup-all folder. Sets status,
# out, err, and first and last: the host's clock around the run.
listing() {
  printf '[Interface]\r\nLanguage=%s\r\n[Folder]\r\nBackupAll=%s\r\n' "$2" "$3" >"$drive/windows/Korvane.ini"
  status=0 first="$(date +%s)"
  LC_ALL="$1" "$here/scripts/wine-run" "$console" listing "${4:---save}" >"$work/out" 2>"$work/err" || status=$?
  last="$(date +%s)"
  out="$(tr -d '\r' <"$work/out")" err="$(tr -d '\r' <"$work/err")"
}

# either FORMAT: the run's date by date(1)'s FORMAT, as a pattern that also
# takes the end's when the run crossed midnight.
either() {
  local a b
  a="$(date -d "@$first" +"$1")" b="$(date -d "@$last" +"$1")"
  if [ "$a" = "$b" ]; then echo "$a"; else echo "($a|$b)"; fi
}

# half MORNING AFTERNOON: the run's half of the day as a pattern, both when it crossed noon.
half() {
  local a="$1" b="$1"
  [ "$(date -d "@$first" +%-H)" -lt 12 ] || a="$2"
  [ "$(date -d "@$last" +%-H)" -lt 12 ] || b="$2"
  if [ "$a" = "$b" ]; then echo "$a"; else echo "($a|$b)"; fi
}

# saved_text FILE CODEPAGE|utf8: the listing as UTF-8, read as Notepad reads it.
saved_text() {
  [ -f "$1" ] || fail "no listing at $1: $err"
  if [ "$(head -c 3 "$1")" = $'\xEF\xBB\xBF' ]; then
    [ "$2" = utf8 ] || fail "the listing is UTF-8 where code page $2 holds it"
    tail -c +4 "$1"
  else
    [ "$2" != utf8 ] || fail "the listing has no UTF-8 mark although Windows-1252 cannot hold \"$description\""
    iconv -f "CP$2" -t UTF-8 "$1" || fail "the listing is not in code page $2"
  fi
  echo .  # keeps the last line's end through the command substitution
}

# check_listing TEXT HEADING-REGEX INF-LABEL VERSION DATE MANUFACTURER: the
# heading, a blank line and our driver's six lines, labelled in the language.
check_listing() {
  local text="${1%.}" heading
  heading="${text%%$'\r\n'*}"
  [[ "$heading" =~ ^$2$ ]] || fail "heading \"$heading\" does not match \"$2\""
  [[ "$text" == "$heading"$'\r\n \r\n['* ]] || fail "no blank line after the heading"
  local block="[$description]"$'\r\n'"$3oemkv2.inf"$'\r\n'"$4: 1.2.3.4"$'\r\n'"$5: 5-6-2004"$'\r\n'"$6: Korvane Test"$'\r\n \r\n'
  [[ "$text" == *"$block"* ]] || fail "our driver's lines are not in the listing: $(tr '\r\n' '||' <<<"$text")"
}

saved_ok() {  # saved_ok FOLDER: "OK" and the path, exit status 0
  [ "$status" = 0 ] || fail "exit status $status: $err"
  grep -q -x OK <<<"$out" || fail "no OK: $out"
  grep -q -x -F "message: $1\\DeviceListing.txt" <<<"$err" || fail "the path was not shown: $err"
}

user="$(id -un)"
clock12='(1[0-2]|0?[1-9]):[0-5][0-9]:[0-5][0-9]' clock24='[0-2]?[0-9]:[0-5][0-9]:[0-5][0-9]'

# English on a United States Windows, into folders that do not exist yet.
listing en_US.UTF-8 English 'C:\KVLIST\New\Deeper'
saved_ok 'C:\KVLIST\New\Deeper'
text="$(saved_text "$drive/KVLIST/New/Deeper/DeviceListing.txt" utf8)"
check_listing "$text" "Device Information Listing for $user@[^ ]+ - $(either %-m/%-d/%Y) $clock12 $(half AM PM)" \
  "INF File: " Version Date Manufacturer
echo "listing-test: English: UTF-8 with its mark, M/d/yyyy h:mm:ss tt, the folders made"

# Simplified Chinese: GB2312 and its labels.
listing zh_CN.UTF-8 Chinese 'C:\KVLIST'
saved_ok 'C:\KVLIST'
text="$(saved_text "$drive/KVLIST/DeviceListing.txt" 936)"
check_listing "$text" "驱动程序信息清单 - $user@[^ ]+ - $(either %Y/%-m/%-d) $clock24" "安装信息文件: " 驱动版本 发布日期 发布公司
echo "listing-test: Chinese: code page 936"

# Taiwan: Big5, the list's own column captions, and the clock's own words for
# the half of the day.
listing zh_TW.UTF-8 'Chinese(Taiwan Province)' 'C:\KVLIST'
saved_ok 'C:\KVLIST'
text="$(saved_text "$drive/KVLIST/DeviceListing.txt" 950)"
check_listing "$text" "Device Information Listing for $user@[^ ]+ - $(either %Y/%-m/%-d) ?$(half 上午 下午) ?$clock12" \
  "INF File: " 驅動版本 發布日期 發布公司
echo "listing-test: Taiwan: code page 950, the half of the day in Chinese"

# A folder under a file cannot be made: no "OK", no path, a failing exit status.
printf 'not a folder' >"$drive/KVLIST/Blocker"
listing en_US.UTF-8 English 'C:\KVLIST\Blocker\Sub'
[ "$status" != 0 ] || fail "an unwritable folder ended with exit status 0"
! grep -q -x OK <<<"$out" || fail "an unwritable folder still said OK"
grep -q -F 'could not be saved as C:\KVLIST\Blocker\Sub\DeviceListing.txt' <<<"$err" || fail "no clear message: $err"
echo "listing-test: an unwritable folder says so, exit status $status"

# No default printer: the registry names none, and Wine's print spooler finds
# none to offer (see above).
"$here/scripts/wine-run" reg delete 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows' /v Device /f \
  >/dev/null 2>&1 || true
[ ! -f "$drive/windows/win.ini" ] || sed -i '/^device=/Id' "$drive/windows/win.ini"
listing en_US.UTF-8 English 'C:\KVLIST' --print
[ "$status" != 0 ] || fail "printing without a printer ended with exit status 0"
! grep -q -x OK <<<"$out" || fail "printing without a printer said OK"
grep -q -F 'message: There is no default printer currently selected.' <<<"$err" || fail "no clear message: $err"
echo "listing-test: no default printer says so, exit status $status"

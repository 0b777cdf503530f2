#!/usr/bin/env bash
# The Windows main window under Wine on a virtual X display: it starts on
# Wine's registry, collects, switches through the six languages (a screenshot
# of each into the build folder) and checks the layout of every panel in each,
# in the design and the wide layout; it backs up a driver planted in its
# prefix (selection, Backup, Cancel, folder picker, Start), backs up all
# drivers into a folder typed into the Backup All dialog, restores the backup
# through Restore All with real mouse clicks, sets a proxy in Proxy Settings,
# and closes, writing its settings.
#   gui-test.sh KORVANE_EXE PROBE_EXE CONSOLE_EXE BUILD_DIR
set -euo pipefail
gui="$1" probe="$2" console="$3" build="$4"
here="$(cd "$(dirname "$0")/../.." && pwd)"

for tool in xvfb-run xdotool import iconv; do
  command -v "$tool" >/dev/null || { echo "gui-test: $tool is missing (scripts/setup installs it)" >&2; exit 1; }
done

# Every Wine program of the run must see the same display: Wine's desktop
# process belongs to the first program of a session and keeps its display.
if [ -z "${GUI_TEST_DISPLAY:-}" ]; then
  export GUI_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

fail() { echo "gui-test: $*" >&2; exit 1; }
wine_run() { "$here/scripts/wine-run" "$@"; }
probe() { wine_run "$probe" "$@" | tr -d '\r'; }
source "$here/tests/wine/plant-driver.sh"
source "$here/tests/gui/main-window.sh"

# A prefix of its own: the settings file it writes must not meet other tests'.
export KORVANE_WINEPREFIX="$build/gui-wineprefix"
WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -w 2>/dev/null || true  # a session left from before, without display
windows="$KORVANE_WINEPREFIX/drive_c/windows"
shots="$build/screenshots"
mkdir -p "$shots"

settings() {  # settings LANGUAGE: the settings file the programs start with
  mkdir -p "$windows"
  printf '[Interface]\r\nLanguage=%s\r\n' "$1" >"$windows/Korvane.ini"
}

# A driver of our own to back up through the window.
mkdir -p "$build/gui-test"
plant_driver "$build/gui-test"

# What the console program finds on the same registry is what the window must list.
settings English
listing="$(wine_run "$console" collect 2>"$build/gui-test/collect.err" | tr -d '\r\0')"
expected="$(tr -d '\r' <"$build/gui-test/collect.err" |
  sed -n 's/^status: \([0-9][0-9]*\) devices are found\.$/\1/p' | tail -n 1)"
[ -n "$expected" ] || fail "the console program found no devices"
row="$(planted_row "$listing" "$expected")"
[ -n "$row" ] || fail "the console program does not list the planted driver"
echo "gui-test: the console program lists $expected drivers, ours as row $row"

# Chinese text as on a Windows with East Asian support: the system's UI fonts
# link to a CJK font, and the Chinese font the program asks for exists.
multi_sz() { printf '%s\0\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ' ' |
  sed 's/^ //; s/ $//; s/ /,/g'; }
cjk="WenQuanYi Micro Hei"
link="$(multi_sz "wqy-microhei.ttc,$cjk")"
fonts_reg="$build/gui-fonts.reg"
{
  printf '\xff\xfe'
  printf '%s\r\n' "Windows Registry Editor Version 5.00" "" \
    '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]' \
    "\"Tahoma\"=hex(7):$link" "\"MS Sans Serif\"=hex(7):$link" "" \
    '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' "\"宋体\"=\"$cjk\"" "" |
    iconv -f UTF-8 -t UTF-16LE
} >"$fonts_reg"
wine_run regedit /S "Z:${fonts_reg//\//\\}"  # Wine sees the host's root as Z:

# The layout as it stands, checked by the probe: controls inside the client
# area, none on top of another, every caption fitting. A picture on failure.
check_layout() {  # check_layout WHAT [dialog]
  local faults
  if ! faults="$(probe layout ${2:-})"; then
    import -window root "$shots/layout-fault.png"
    fail "$1: $faults"
  fi
}

# What each language names the OK button of the Backup All dialog.
dialog_ok() {
  case "$1" in
    English) echo OK ;; French) echo Commencer ;; Spanish) echo Aceptar ;; Russian) echo ОК ;;
    Chinese) echo 开始 ;; *) echo 開始 ;;
  esac
}

# Every panel of the window in the current language: both pages of the tool
# column, a selected driver, the destination row, Restore All and the Backup
# All dialog (cancelled).
check_panels() {  # check_panels LANGUAGE WHAT
  check_layout "$2, first page"
  probe select ListView1 "$row" || fail "$2: the row could not be selected"
  check_layout "$2, a selected driver"
  probe click BitBtn2 || fail "$2: Backup did not answer"
  [ "$(probe visible Edit1)" = 1 ] || fail "$2: Backup did not show the destination row"
  check_layout "$2, the destination row"
  probe click Button2 || fail "$2: Cancel did not answer"
  probe click DownBtn || fail "$2: the page switch did not answer"
  check_layout "$2, second page"
  probe click SpeedButton4 || fail "$2: Restore All did not answer"
  [ "$(probe visible TV1)" = 1 ] && [ "$(probe visible BitBtn9)" = 1 ] || fail "$2: Restore All shows no tree"
  check_layout "$2, Restore All"
  probe click BitBtn11 || fail "$2: Cancel of Restore All did not answer"
  probe click UpBtn || fail "$2: the page switch did not answer"
  probe post BitBtn3
  check_layout "$2, the Backup All dialog" dialog
  # Read whole before matching: under pipefail, a grep that stops at the first
  # match breaks the probe's pipe and fails the check at random.
  local texts
  texts="$(probe dialog-texts)"
  grep -q -x "$(dialog_ok "$1")" <<<"$texts" || fail "$2: the Backup All dialog says $(tr '\n' '|' <<<"$texts")"
  probe dialog cancel >/dev/null
  probe no-dialog || fail "$2: the Backup All dialog did not close"
}

# The Chinese items of the language menu can be reached only after a Chinese start.
settings Chinese
start_window "$gui"

title="$(probe title)"
[ "$title" = "Korvane 2005" ] || fail "caption after a Chinese start is \"$title\""

probe click BitBtn1 || fail "the window did not take the click of Collect All"
rows="$(probe rows ListView1)"
[ "$rows" = "$expected" ] || fail "the list shows $rows rows, the console program found $expected"
status="$(probe text StatusBar1)"
case "$status" in *" $expected "*) ;; *) fail "status bar says \"$status\"" ;; esac
echo "gui-test: collected $rows rows; status bar: $status"

for language in English1:English French1:French Spanish1:Spanish Russian1:Russian \
                ChineseTW:"Chinese(Taiwan Province)" Chinese1:Chinese; do
  item="${language%%:*}" name="${language#*:}"
  probe click "$item" || fail "$name: the language item did not answer"
  want="Korvane 3.11"
  [ "$name" = Chinese ] && want="Korvane 2005"
  title="$(probe title)"
  [ "$title" = "$want" ] || fail "$name: caption \"$title\", expected \"$want\""
  checked="$(probe captions "$name")" || fail "$name: $checked"
  echo "gui-test: $name: $(printf '%s\n' "$checked" | tail -n 1)"
  [ "$(probe rows ListView1)" = "$expected" ] || fail "$name: the list lost rows"
  sleep 0.3  # let the window finish painting before the picture
  import -window root "$shots/${item%1}.png"
  check_panels "$name" "$name"
done
echo "gui-test: every panel laid out in the six languages"

# The wide layout on a window as large as the screen (there is no window
# manager to maximise it), the design one back at the design size, and the
# same wide one when it grows again.
wait_for_place() {  # wait_for_place NAME CONDITION-ON-$width: the place once it holds
  for _ in $(seq 1 50); do
    read -r left top width height <<<"$(probe place "$1")"
    eval "$2" && { echo "$left $top $width $height"; return 0; }
    sleep 0.1
  done
  return 1
}
read -r design_width design_height <<<"$(probe size)"
probe resize 1024 768
list="$(wait_for_place ListView1 '[ "$width" -gt 487 ]')" || fail "a wide window did not widen the driver list"
read -r _ _ list_width _ <<<"$list"
[ "$list_width" = $((1024 - 89)) ] || fail "wide list is $list_width wide in a window 1024 wide"
memo="$(probe place Memo1)"
read -r _ memo_top _ memo_height <<<"$memo"
read -r _ status_top _ _ <<<"$(probe place StatusBar1)"
[ "$memo_top" = $((768 - 195)) ] && [ $((memo_top + memo_height)) -le "$status_top" ] &&
  [ "$memo_height" -ge 117 ] || fail "wide memo at $memo, status bar at $status_top"
tool="$(probe place BitBtn8)"
[ "${tool%% *}" = $((1024 - 80)) ] || fail "tool column at $tool in a window 1024 wide"
echo "gui-test: at 1024 x 768: list $list, memo $memo"
sleep 0.3
import -window root "$shots/Wide.png"
probe resize "$design_width" "$design_height"
wait_for_place ListView1 '[ "$width" = 487 ]' >/dev/null || fail "the design size did not give the list its design width"
[ "$(probe place Memo1)" = "5 236 487 117" ] || fail "memo at $(probe place Memo1) in a window of the design size"
probe resize 1024 768
wait_for_place ListView1 '[ "$width" -gt 487 ]' >/dev/null || fail "growing again did not widen the list"
[ "$(probe place Memo1)" = "$memo" ] || fail "the memo moved from $memo to $(probe place Memo1) when the window grew again"
for language in English1:English French1:French Spanish1:Spanish Russian1:Russian \
                ChineseTW:"Chinese(Taiwan Province)" Chinese1:Chinese; do
  probe click "${language%%:*}" || fail "${language#*:}: the language item did not answer"
  check_panels "${language#*:}" "${language#*:}, wide"
done
echo "gui-test: every panel laid out in the six languages in the wide window"

# The planted driver backed up through the (wide) window: selecting its row shows its
# details, Backup the destination panel, Cancel hides the panel; the folder
# picker fills the box, and Start copies the driver into the chosen folder.
expect_memo() {  # expect_memo TEXT WHAT
  for _ in $(seq 1 50); do
    case "$(probe text Memo1)" in *"$1"*) return 0 ;; esac
    sleep 0.1
  done
  fail "$2: the memo says \"$(probe text Memo1)\""
}
probe click English1 || fail "English did not answer"
probe select ListView1 "$row" || fail "the row could not be selected"
expect_memo "There are 2 files to be packaged." "selecting our driver"
[ "$(probe visible Edit1)" = 0 ] || fail "the destination panel shows before Backup"
probe click BitBtn2 || fail "Backup did not answer"
[ "$(probe visible Edit1)" = 1 ] && [ "$(probe visible Button1)" = 1 ] || fail "Backup did not show the destination panel"
expect_memo "There are 2 files to backup." "Backup"
probe click Button2 || fail "Cancel did not answer"
[ "$(probe visible Edit1)" = 0 ] || fail "Cancel left the destination panel showing"
[ "$(probe text StatusBar1)" = "Cancelled." ] || fail "status after Cancel: $(probe text StatusBar1)"
echo "gui-test: details, Backup and Cancel of row $row"

rm -rf "$drive/KVGUI"
mkdir -p "$drive/KVGUI"
probe click BitBtn2 || fail "Backup did not answer the second time"
probe settext Edit1 'C:\KVGUI\'
probe browse
probe dialog >/dev/null || fail "the folder picker did not open"
for _ in $(seq 1 50); do
  [ "$(probe text Edit1)" = 'C:\KVGUI' ] && break
  sleep 0.1
done
[ "$(probe text Edit1)" = 'C:\KVGUI' ] || fail "the folder picker left \"$(probe text Edit1)\" in the box"
probe post Button1
box="$(probe dialog)" || fail "Start showed no message"
[ "$box" = "$description Installation Package created successfully!" ] || fail "Start said \"$box\""
for _ in $(seq 1 50); do  # Start writes Setup.DIY after its message and then says so on the status bar
  [ "$(probe text StatusBar1)" = "Package created successfully!" ] && break
  sleep 0.1
done
[ "$(probe text StatusBar1)" = "Package created successfully!" ] || fail "status after Start: $(probe text StatusBar1)"
check_driver_folder "$drive/KVGUI/$description"
[ "$(probe visible Edit1)" = 0 ] || fail "the destination panel shows after Start"
echo "gui-test: the folder picker chose C:\\KVGUI and Start backed our driver up there"

# Backup All into a folder typed into its dialog, not one chosen in its tree.
rm -rf "$drive/KVALL"
next_box() {  # next_box [cancel|no]: the text of the next box, once the one before has closed
  probe no-dialog && probe dialog "$@"
}
probe post BitBtn3
probe dialog-type 'C:\KVALL' || fail "the Backup All dialog did not open"
probe dialog >/dev/null
case "$(next_box)" in Attention:*) ;; *) fail "Backup All did not begin with its warning" ;; esac
box="$(next_box)" || fail "Backup All ended without a message"
probe no-dialog
check_driver_folder "$drive/KVALL/$description"
echo "gui-test: Backup All went into the typed folder C:\\KVALL and said \"$box\""

# Restore All: the folder of the first backup chosen in the tree, Start,
# Cancel. Wine's prefix reports Windows 7, so the folder goes whole to the
# installation tool: nothing is copied into the system folders and no restart
# is asked for. The layout check has shown that nothing covers its buttons.
# A folder in the tool's place keeps the tool from starting: its window would
# cover the clicks that follow.
probe click DownBtn || fail "the page switch did not answer"
probe click SpeedButton4 || fail "Restore All did not answer"
check_layout "Restore All in the wide window"
probe tree-select TV1 'C:\KVGUI' || fail "the tree did not offer C:\\KVGUI"
rm -rf "$windows/Options" "$windows/devmount.exe"
mkdir "$windows/devmount.exe"
probe post BitBtn9
expect_memo 'Adding every driver below C:\KVGUI\ to Windows' "Restore All"
probe no-dialog || fail "Restore All asked: $(probe dialog-texts | tr '\n' '|')"
[ ! -e "$windows/Options/Cabs/kvtest.sys" ] || fail "Restore All copied the driver file on Windows 7"
rmdir "$windows/devmount.exe"
probe click BitBtn11
[ "$(probe visible TV1)" = 0 ] && [ "$(probe visible ListView1)" = 1 ] || fail "Cancel of Restore All left the tree showing"
probe click UpBtn || fail "the page switch did not answer"
echo "gui-test: Restore All handed C:\\KVGUI to the installation tool and was cancelled"
# Proxy Settings: the box unticked, an address typed, the dialog closed by
# its close box, which keeps the edits as OK does.
probe post Proxysettings1
check_layout "the proxy dialog" dialog
system_box="Use the proxy in Internet Settings (Recommended)"
probe dialog-click "$system_box" || fail "the proxy dialog has no box \"$system_box\""
probe dialog-type 10.0.0.1
import -window root "$shots/Proxy.png"
probe dialog cancel >/dev/null
probe no-dialog || fail "the proxy dialog did not close"
echo "gui-test: Proxy Settings took a proxy of its own"
probe click Chinese1 || fail "Chinese did not answer"

close_window
WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -w 2>/dev/null || true

# Closing the window wrote the settings, with the language it ended in.
ini="$(tr -d '\r' <"$windows/Korvane.ini")"
grep -q "^Language=Chinese" <<<"$ini" || fail "the settings were not written at close"
grep -q "^Address=10.0.0.1" <<<"$ini" && grep -q "^AutoProxy=Non" <<<"$ini" || fail "the proxy settings were not kept: $ini"
echo "gui-test: closed and wrote its settings; screenshots in $shots"

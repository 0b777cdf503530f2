#!/usr/bin/env bash
# The Windows main window under Wine on a virtual X display: it starts on
# Wine's registry, collects, switches through the six languages (a screenshot
# of each into the build folder) and closes, writing its settings.
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

# What the console program finds on the same registry is what the window must list.
settings English
expected="$(wine_run "$console" collect 2>&1 >/dev/null | tr -d '\r' |
  sed -n 's/^status: \([0-9][0-9]*\) devices are found\.$/\1/p' | tail -n 1)"
[ -n "$expected" ] || fail "the console program found no devices"
echo "gui-test: the console program lists $expected drivers"

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

# The Chinese items of the language menu can be reached only after a Chinese start.
settings Chinese
wine_run "$gui" &
gui_pid=$!
for _ in $(seq 1 300); do
  xdotool search --name "^Korvane" >/dev/null 2>&1 && break
  kill -0 "$gui_pid" 2>/dev/null || fail "korvane.exe ended before its window showed"
  sleep 0.2
done
xdotool search --name "^Korvane" >/dev/null 2>&1 || fail "no window appeared"

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
done

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
[ "$memo_top" = $((768 - 195)) ] && [ "$memo_height" = 132 ] || fail "wide memo at $memo"
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

probe close
for _ in $(seq 1 100); do
  kill -0 "$gui_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$gui_pid" 2>/dev/null && fail "the window did not close"
wait "$gui_pid" || fail "korvane.exe ended with an error"
WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -w 2>/dev/null || true

# Closing the window wrote the settings, with the language it ended in.
grep -q "^Language=Chinese" "$windows/Korvane.ini" || fail "the settings were not written at close"
echo "gui-test: closed and wrote its settings; screenshots in $shots"

#!/usr/bin/env bash
# The Help menu of the Windows window under Wine on a virtual display. Wine's
# shell hands web and mail links to winebrowser, which here starts a recorder
# instead of a browser: the web site (the Chinese start page in Chinese), the
# mail to support with its percent-encoded subject, the about box's lines
# under the mouse and their links. The manual beside the program opens in
# Wine's help viewer without a transfer.
#   help-menu-test.sh KORVANE_EXE PROBE_EXE BUILD_DIR HOMEPAGE SUPPORT_MAIL INFO_MAIL RUSSIAN_MAIL
set -euo pipefail
gui="$1" probe="$2" build="$3" homepage="$4" support="$5" info="$6" russian="$7"
here="$(cd "$(dirname "$0")/../.." && pwd)"

for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null && continue
  echo "help-menu-test: skipped: $tool is missing (scripts/setup installs it)" >&2
  [ "${KORVANE_EXPECT_EVERY_SUITE:-0}" = 0 ] || exit 1
  exit 77
done
if [ -z "${HELP_TEST_DISPLAY:-}" ]; then
  export HELP_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

fail() { echo "help-menu-test: $*" >&2; exit 1; }
wine_run() { "$here/scripts/wine-run" "$@"; }
probe() { wine_run "$probe" "$@" | tr -d '\r'; }
source "$here/tests/gui/main-window.sh"

export KORVANE_WINEPREFIX="$build/wineprefix-help"
stop_wine() { WINEPREFIX="$KORVANE_WINEPREFIX" wineserver -k 2>/dev/null || true; }
stop_wine  # a session left from before, without display
trap stop_wine EXIT
work="$build/help-menu-test"
rm -rf "$work"
mkdir -p "$work"

# winebrowser starts the first program of its lists that it can: the recorder.
links="$work/links.log"
recorder="$work/record-link"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s"\n' "$links" >"$recorder"
chmod +x "$recorder"
: >"$links"
for list in Browsers Mailers; do
  wine_run reg add 'HKCU\Software\Wine\WineBrowser' /v "$list" /d "$recorder" /f >/dev/null
done

seen=0
next_link() {  # next_link LINK WHAT: the next link the recorder got is this one
  for _ in $(seq 1 100); do
    [ "$(wc -l <"$links")" -gt "$seen" ] && break
    sleep 0.1
  done
  seen=$((seen + 1))
  local got
  got="$(sed -n "${seen}p" "$links")"
  # winebrowser ends a bare web site address with "/".
  [ "$got" = "$1" ] || [ "$got" = "$1/" ] || fail "$2 opened \"$got\", expected \"$1\""
  echo "help-menu-test: $2 opened $got"
}

# A Chinese start, so that the Chinese items of the language menu are there.
printf '[Interface]\r\nLanguage=Chinese\r\n' >"$KORVANE_WINEPREFIX/drive_c/windows/Korvane.ini"
start_window "$gui"

probe click Homepage1 || fail "Update did not answer"
next_link "$homepage/cn/index.html" "the web site in Chinese"
probe click ChineseTW || fail "Chinese (Taiwan) did not answer"
probe click Writetome1 || fail "Write to us did not answer"
next_link "mailto:$support?subject=Korvane%203.11%20%5BChinese%28Taiwan%20Province%29%5D" "Write to us in Taiwan's Chinese"
probe click Russian1 || fail "Russian did not answer"
probe click Writetome1 || fail "Write to us did not answer"
next_link "mailto:$support?subject=Korvane%203.11%20%5BRussian%5D" "Write to us in Russian"

# Russian reads the English manual, which is there: the help viewer opens it
# and no transfer starts (it would end in a message about the failed download).
probe click Manual1 || fail "Manual did not answer"
for _ in $(seq 1 150); do
  xdotool search --name "^Korvane manual" >/dev/null 2>&1 && break
  sleep 0.2
done
xdotool search --name "^Korvane manual" >/dev/null 2>&1 || fail "the help viewer shows no English manual"
probe no-dialog || fail "Manual showed a box: $(probe dialog-texts | tr '\n' '|')"
echo "help-menu-test: Russian: the English manual opened in the help viewer"

center_of() {  # center_of TEXT: the screen point of the about box's line that shows it
  local point
  point="$(probe dialog-center "$1")" || fail "the about box shows no \"$1\": $(probe dialog-texts | tr '\n' '|')"
  echo "$point"
}
shows() { probe dialog-center "$1" >/dev/null 2>&1; }
web_font_is() { [ "$(probe dialog-font "$homepage")" = "$1" ]; }
wait_for() {  # wait_for COMMAND...: until it succeeds, 5 s at most
  for _ in $(seq 1 50); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# The Russian about box has a line of its own, which mails the Russian address.
probe post About1
read -r x y <<<"$(center_of "Поддержка на русском языке: $russian")"
xdotool mousemove "$x" "$y" click 1
next_link "mailto:$russian?subject=Korvane%20V3.11%20support" "the Russian mail line"
probe dialog cancel >/dev/null
probe no-dialog || fail "the about box did not close"

probe click English1 || fail "English did not answer"
probe click Homepage2 || fail "Homepage did not answer"
next_link "$homepage" "the web site in English"

# The English about box: its texts and layout, the lines under the mouse, every link.
xdotool mousemove 0 0  # away from where the lines will be
probe post About1
texts="$(probe dialog-texts)"
expected="$(printf '%s\n' "About Korvane" "Korvane 3.11" \
  "Backs up the drivers of this computer and puts them back after Windows is reinstalled." \
  "E-mail: $info" "$homepage" Support OK)"
[ "$texts" = "$expected" ] || fail "the about box shows: $(tr '\n' '|' <<<"$texts")"
probe layout dialog >/dev/null || fail "about box layout: $(probe layout dialog)"
web_font_is bold || fail "the web line is not bold"

hover="<<<Click me to send an E-mail to the author>>>"
read -r mail_x mail_y <<<"$(center_of "E-mail: $info")"
read -r web_x web_y <<<"$(center_of "$homepage")"
xdotool mousemove "$mail_x" "$mail_y"
wait_for shows "$hover" || fail "the mail line did not change under the mouse: $(probe dialog-texts | tr '\n' '|')"
probe layout dialog >/dev/null || fail "the mail line's hover text does not fit: $(probe layout dialog)"
xdotool mousemove "$web_x" "$web_y"
wait_for shows "E-mail: $info" || fail "the mail line did not come back when the mouse left"
wait_for web_font_is "bold italic" || fail "the web line is not bold italic under the mouse"
xdotool click 1
next_link "$homepage" "the about box's web line"
xdotool mousemove "$mail_x" "$mail_y"
wait_for shows "$hover" || fail "the mail line did not change the second time"
xdotool click 1
next_link "mailto:$info?subject=Korvane%20V3.11%20support" "the about box's mail line"
probe dialog-click Support || fail "the about box has no Support button"
next_link "mailto:$support?subject=Korvane%20V3.11%20support" "Support"
xdotool mousemove 0 0
wait_for web_font_is bold || fail "the web line stayed italic after the mouse left"
probe dialog-click OK || fail "the about box has no OK button"
probe no-dialog || fail "OK did not close the about box"
echo "help-menu-test: the about box's texts, hover and links"

close_window

#!/usr/bin/env bash
# The favourites of Wine's user backed up and restored by the Windows console
# program: a small tree of links goes into the user's favourites folder, the
# backup must hold it, and after the folder is gone the restore must bring it
# back; a drive root is refused with a failing exit.
#   favorites-test.sh CONSOLE_EXE BUILD_DIR
set -euo pipefail
console="$(realpath "$1")" build="$(realpath "$2")"
here="$(cd "$(dirname "$0")/../.." && pwd)"

fail() { echo "favorites-test: $*" >&2; exit 1; }
wine_run() { "$here/scripts/wine-run" "$@"; }

export KORVANE_WINEPREFIX="$build/wineprefix-favorites"
work="$build/favorites-test"
rm -rf "$work"
mkdir -p "$work"
wine_run cmd.exe /c "echo %USERPROFILE%" >"$work/profile.out" 2>/dev/null || fail "Wine did not start"
drive="$KORVANE_WINEPREFIX/drive_c"
profile="$(tr -d '\r' <"$work/profile.out" | tail -n 1)"
[[ "$profile" == [Cc]:\\* ]] || fail "no profile folder: '$profile'"
profile="$drive/${profile:3}"
profile="${profile//\\//}"
favorites="$profile/Favorites"

rm -rf "$favorites" "$drive/Korvane"
mkdir -p "$favorites/Korvane Test/Nested"
printf '[InternetShortcut]\r\nURL=http://one.example/\r\n' >"$favorites/Korvane Test/One.url"
printf '[InternetShortcut]\r\nURL=http://two.example/deep\r\n' >"$favorites/Korvane Test/Nested/Two.url"
(cd "$favorites" && find . -type f | sort && find . -type f -exec cat {} +) >"$work/planted"

wine_run "$console" favorites backup >"$work/backup.out" 2>&1 || fail "backup failed: $(tr -d '\r' <"$work/backup.out")"
backup="$drive/Korvane/IE Favorites"
[ -f "$backup/Korvane Test/Nested/Two.url" ] || fail "the backup lacks the nested link: $(tr -d '\r' <"$work/backup.out")"
cmp -s "$favorites/Korvane Test/Nested/Two.url" "$backup/Korvane Test/Nested/Two.url" || fail "the backup differs"

rm -rf "$favorites"
wine_run "$console" favorites restore 'C:\Korvane\IE Favorites' >"$work/restore.out" 2>&1 ||
  fail "restore failed: $(tr -d '\r' <"$work/restore.out")"
(cd "$favorites" && find . -type f | sort && find . -type f -exec cat {} +) >"$work/restored"
cmp -s "$work/planted" "$work/restored" || fail "the restored favourites differ from the planted ones"

if wine_run "$console" favorites restore 'C:\' >"$work/refused.out" 2>&1; then
  fail "a drive root was accepted"
fi
output="$(tr -d '\r' <"$work/refused.out")"
[[ "$output" == *"C:\\ is a whole drive."* ]] || fail "the refusal did not say why: $output"
echo "favorites-test: Wine's favourites went to C:\\Korvane\\IE Favorites and came back"

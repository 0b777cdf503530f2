#!/usr/bin/env bash
# scripts/serve-db serves the built database image and the sample packages
# on the loopback address, and its host-map line lets a copy of the XP sample
# fetch them at the database's own address (a port of the server's choice
# standing in for the URL's port 80).
#   serve-db-test.sh KORVANE BUILD_DIR DATABASE_URL
set -euo pipefail
korvane="$1" build="$2" database_url="$3"
here="$(cd "$(dirname "$0")/../.." && pwd)"

fail() { echo "serve-db-test: $*" >&2; exit 1; }

work="$build/serve-db-test"
rm -rf "$work"
mkdir -p "$work"
cp -r "$here/samples/xp" "$work/xp"

# A sample itself is never changed.
before="$(cat "$here/samples/xp/machine.ini")"
if "$here/scripts/serve-db" --build "$build" --port 1 --map-host "$here/samples/xp" >"$work/refused.out" 2>&1; then
  fail "a sample was accepted for --map-host"
fi
[ "$(cat "$here/samples/xp/machine.ini")" = "$before" ] || fail "the sample's machine.ini was changed"

coproc server { exec "$here/scripts/serve-db" --build "$build" --map-host "$work/xp" 2>"$work/server.log"; }
trap 'kill "$server_PID" 2>/dev/null || true' EXIT
port=""
while read -r line <&"${server[0]}"; do
  case "$line" in
    *=127.0.0.1:*) port="${line##*:}" ;;
    "Stop with Ctrl-C.") break ;;
  esac
done
[ -n "$port" ] || fail "the server did not say where it listens"
hosts="$(sed -n '/^\[Hosts\]/,$p' "$work/xp/machine.ini" | tr -d '\r')"
host="${database_url#*://}"
host="${host%%/*}"
[ "$hosts" = "[Hosts]
$host=127.0.0.1:$port" ] || fail "machine.ini's [Hosts] is not the server's: $hosts"

get() {  # URL NAME: fetched through the machine's host map
  "$korvane" --machine "$work/xp" transfer get "$1" --to 'C:\Fetched' --name "$2" >"$work/$2.out" 2>&1 ||
    fail "$1 was not fetched: $(cat "$work/$2.out")"
}
get "$database_url" image.gif
cmp -s "$work/xp/drive_c/Fetched/image.gif" "$build/database/MsSetup6.CAB" ||
  fail "the fetched image is not the built one"
package="drivers/tessaline/vistra5200-xp-6.14.10.6100.cab"
get "http://$host/$package" package.cab
cmp -s "$work/xp/drive_c/Fetched/package.cab" "$build/database/packages/$package" ||
  fail "the fetched package is not the built one"

# Nothing but the image and the packages is served.
outside="$(python3 -c '
import http.client, sys
connection = http.client.HTTPConnection("127.0.0.1", int(sys.argv[1]))
connection.request("GET", "/../CMakeCache.txt")
print(connection.getresponse().status)' "$port")"
[ "$outside" = 404 ] || fail "a path outside the packages was answered with $outside"
echo "serve-db-test: the image and a package reach the sample through its host map"

#!/usr/bin/env bash
# Builds the Debian package, installs it into this machine, checks the installed program with a fresh
# HOME and removes the package again. dpkg changes the machine, so this runs only as root in CI
# (CI=true, a throwaway machine); elsewhere it is reported skipped (exit 77).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ "$(id -u)" -ne 0 ] || [ "${CI:-}" != true ]; then
  echo "skipped: installs into the machine, so it runs only as root with CI=true"
  exit 77
fi
for tool in dpkg dpkg-shlibdeps cpack xvfb-run man desktop-file-validate appstreamcli lintian; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool (scripts/deps installs it)" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tabulo-package.XXXXXX")
installed=""
cleanup() {
  if [ -n "$installed" ]; then dpkg -r tabulo >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

deb=$("$root/scripts/package" "$work")
echo "package: $deb"
dpkg -i "$deb" >/dev/null || fail "dpkg -i $deb"
installed=1

# A user who has never started the program.
export HOME="$work/home"
mkdir -p "$HOME"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME QT_QPA_PLATFORM
data="$HOME/.local/share/Tabulo"

/usr/bin/tabulo-cli --version | grep -q '^tabulo-cli ' || fail "tabulo-cli --version"

# The window program starts on a virtual display and seeds the data folder; it is ended once seeded.
timeout -k 5 60 xvfb-run -a sh -c '
  /usr/bin/tabulo & pid=$!
  for i in $(seq 150); do [ -f "$1/Connections/Demo.udl" ] && break; sleep 0.2; done
  sleep 1
  kill -0 $pid || exit 3
  kill $pid; wait $pid; exit 0' sh "$data" || fail "the window program did not start and keep running"
for f in demo.sqlite Connections/Demo.udl udl_import/Text_csv.udl help.html; do
  [ -f "$data/$f" ] || fail "the data folder lacks $f"
done
for f in Connections tabulo.ini; do
  [ ! -e "/usr/bin/$f" ] || fail "the installed program wrote /usr/bin/$f"
done
[ -w "$data/Connections/Demo.udl" ] || fail "the seeded files are not the user's to change"

tables=$(/usr/bin/tabulo-cli --udl "$data/Connections/Demo.udl" tables) || fail "tabulo-cli tables"
grep -qx Customers <<<"$tables" || fail "the demo database lacks Customers: $tables"

page=$(MANWIDTH=80 man -l /usr/share/man/man1/tabulo-cli.1.gz 2>"$work/man.err") || fail "man -l"
[ ! -s "$work/man.err" ] || fail "man -l warns: $(cat "$work/man.err")"
grep -q "EXIT STATUS" <<<"$page" || fail "the manual page lacks its exit statuses"

desktop-file-validate /usr/share/applications/tabulo.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/io.github.tabulo.Tabulo.metainfo.xml ||
  fail "appstreamcli validate"
lintian --fail-on error "$deb" || fail "lintian reports errors"

dpkg -r tabulo >/dev/null || fail "dpkg -r tabulo"
installed=""
[ ! -e /usr/bin/tabulo ] || fail "dpkg -r left /usr/bin/tabulo"
echo "installed package checked"

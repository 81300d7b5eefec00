#!/usr/bin/env bash
# Installs the build tree into a staging folder (DESTDIR) under the prefix /usr, checks the installed files,
# and starts the installed executable offscreen: it must come up and copy the manual from share/morvane/
# into the per-user data folder, and leave its bin/ folder alone although it may write there.
set -u
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../support/run_morvane.sh"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

stage="$tmp/stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >"$tmp/install.log" || {
  cat "$tmp/install.log"
  exit 1
}
for file in bin/morvane bin/morvane-cli share/man/man1/morvane-cli.1 share/morvane/ZELK.TXT share/applications/org.example.morvane.desktop \
  share/icons/hicolor/scalable/apps/org.example.morvane.svg share/metainfo/org.example.morvane.metainfo.xml \
  share/man/man1/morvane.1 share/doc/morvane/copyright share/bash-completion/completions/morvane-cli; do
  [ -f "$stage/usr/$file" ] || fail "not installed: usr/$file"
done
# The completion is the one made from morvane-cli's table, and bash completes the installed program with it.
cmp -s "$build/cli/morvane-cli.bash" "$stage/usr/share/bash-completion/completions/morvane-cli" ||
  fail "the installed completion is not the one made in the build"
[ "$(bash -c 'source "$1"; complete -p morvane-cli' - "$stage/usr/share/bash-completion/completions/morvane-cli")" = \
  "complete -F _morvane_cli morvane-cli" ] || fail "the installed completion does not complete morvane-cli"
[ -x "$stage/usr/bin/morvane" ] || fail "usr/bin/morvane is not executable"

# A line of its own marks the shared manual, so that its copy cannot be taken for the one built into the
# program.
echo "Installed copy of the manual." >>"$stage/usr/share/morvane/ZELK.TXT"
make_prefix "$tmp/prefix" "App"
HOME="$tmp/home" XDG_DATA_HOME="$tmp/xdg" comes_up "$tmp/xdg/morvane/ZELK.TXT" \
  "$stage/usr/bin/morvane" --prefix "$tmp/prefix" || fail "the installed morvane did not come up with its manual in the per-user data folder"
cmp -s "$stage/usr/share/morvane/ZELK.TXT" "$tmp/xdg/morvane/ZELK.TXT" ||
  fail "the data folder's manual is not the one in share/morvane/"
[ "$(cat "$tmp/xdg/morvane/BEFORE.DAT" 2>/dev/null)" = $'App\r' ] ||
  fail "the records did not move into the per-user data folder"
# The terminal's program finds the same per-user data folder, with the record the windowed one moved there.
[ "$(HOME="$tmp/home" XDG_DATA_HOME="$tmp/xdg" "$stage/usr/bin/morvane-cli" --prefix "$tmp/prefix" list)" = \
  $'pending\tApp' ] || fail "the installed morvane-cli does not list the record in the per-user data folder"
[ "$(ls "$stage/usr/bin")" = $'morvane\nmorvane-cli' ] || fail "the installed morvane wrote into bin/: $(ls "$stage/usr/bin")"

[ "$failures" -eq 0 ] || exit 1
echo "staged install: all checks passed"

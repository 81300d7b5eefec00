#!/usr/bin/env bash
# The command line of the real executable. Without any display: what it prints, on which stream, and its exit
# status. Offscreen: --prefix and --data-dir at work.
set -u
exe="$1"
version="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/../support/run_morvane.sh"
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/xdg"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

touch "$tmp/file"
help_lines=$'  -h, --help        Show this help and exit.\n  -v, --version     Show the version and exit.'
#     status  standard output        standard error                                                arguments
cases=(
  "0" "Morvane $version"            ""                                                             "--version"
  "0" "Morvane $version"            ""                                                             "-v"
  "0" "$help_lines"                 ""                                                             "--help"
  "0" "$help_lines"                 ""                                                             "-h --version"
  "2" ""  "morvane: Unknown option 'frobnicate'. See morvane --help."                              "--frobnicate"
  "2" ""  "morvane: Unknown option 'frobnicate'. See morvane --help."                              "--version --frobnicate"
  "2" ""  "morvane: Unknown option 'frobnicate'. See morvane --help."                              "--frobnicate --data-dir $tmp/new"
  "2" ""  "morvane: Missing value after '--prefix'. See morvane --help."                           "--prefix"
  "2" ""  "morvane: The Wine prefix '$tmp/file' is not a folder."                                  "--prefix $tmp/file"
  "2" ""  "morvane: The Wine prefix '$tmp/absent' is not a folder."                                "--prefix $tmp/absent --data-dir $tmp/new"
  "2" ""  "morvane: The data folder '$tmp/file' is not a folder."                                  "--data-dir $tmp/file"
  "2" ""  "morvane: Unexpected argument 'now'. See morvane --help."                                "now"
)
for ((i = 0; i < ${#cases[@]}; i += 4)); do
  status="${cases[i]}" out="${cases[i + 1]}" err="${cases[i + 2]}"
  read -r -a args <<<"${cases[i + 3]}"
  got_out="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$exe" "${args[@]}" 2>"$tmp/err")"
  got_status=$?
  got_err="$(cat "$tmp/err")"
  # The help also names the program's own path; its option lines are compared.
  [ "$out" = "$help_lines" ] && got_out="$(grep -e '--help\|--version' <<<"$got_out")"
  [ "$got_status" = "$status" ] || fail "morvane ${args[*]}: exit status $got_status, expected $status"
  [ "$got_out" = "$out" ] || fail "morvane ${args[*]}: standard output '$got_out', expected '$out'"
  [ "$got_err" = "$err" ] || fail "morvane ${args[*]}: standard error '$got_err', expected '$err'"
done
[ -e "$tmp/new" ] && fail "a command line in error created the data folder"
[ -e "$tmp/xdg" ] && fail "a command line that starts nothing created the per-user data folder"
"$exe" --help | grep -q -e '--prefix <dir>' -e '--data-dir <dir>' || fail "--help names neither --prefix nor --data-dir"

# --prefix wins over WINEPREFIX: the records of its Windows directory move into the folder given with
# --data-dir, created for it; those of $WINEPREFIX stay.
make_prefix "$tmp/given" "Given"
make_prefix "$tmp/environment" "Environment"
WINEPREFIX="$tmp/environment" comes_up "$tmp/data/BEFORE.DAT" \
  "$exe" --prefix "$tmp/given" --data-dir "$tmp/data" || fail "morvane --prefix --data-dir did not come up"
[ "$(cat "$tmp/data/BEFORE.DAT" 2>/dev/null)" = $'Given\r' ] || fail "BEFORE.DAT of the given prefix not moved"
[ -e "$tmp/given/drive_c/windows/BEFORE.DAT" ] && fail "BEFORE.DAT left in the given prefix"
[ -e "$tmp/environment/drive_c/windows/BEFORE.DAT" ] || fail "BEFORE.DAT of WINEPREFIX moved"
[ -f "$tmp/data/ZELK.TXT" ] || fail "no manual in the data folder"
[ -e "$tmp/xdg" ] && fail "the per-user data folder was created although --data-dir was given"

[ "$failures" -eq 0 ] || exit 1
echo "command line: all cases passed"

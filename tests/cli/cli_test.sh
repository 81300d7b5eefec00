#!/usr/bin/env bash
# morvane-cli as a shell user meets it, on temporary prefixes and data folders: one whole life checked on the
# disk, the rules for a standard input that is not a terminal, dry runs that ask nothing, Ctrl-C during AFTER
# creation, the command line read from its table, the exit statuses and the bash completion.
# Arguments: the executable, the project's version, the bash completion made for it.
set -u
cli="$(realpath "$1")"
version="$2"
completion="$3"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/xdg" WINEPREFIX="$tmp/no-prefix"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
crlf() { printf '%s\r\n' "$@"; }

# A prefix whose drive C: holds an installed system (usr/local with its usual folders) and a WIN.INI.
make_machine() {
  local p="$1"
  mkdir -p "$p/dosdevices" "$p/drive_c/windows" "$p/drive_c/usr/local/bin" "$p/drive_c/usr/local/share/man/man1"
  ln -s ../drive_c "$p/dosdevices/c:"
  crlf "[windows]" "load=" >"$p/drive_c/windows/WIN.INI"
  crlf "ECHO OFF" >"$p/drive_c/AUTOEXEC.BAT"
  echo "#!/bin/sh" >"$p/drive_c/usr/local/bin/older-tool"
}
# The whole state of a folder: every path with its kind, mode and size, and every file's bytes.
state_of() {
  (cd "$1" && find . -printf '%p %y %m %s\n' | sort && find . -type f -print0 | sort -z | xargs -0 -r md5sum)
}

# The terminal's own answers, for the rows that need one: "morvane-cli ARGS" run in a pseudo-terminal.
in_terminal() {
  script -qfec "$(printf '%q ' "$cli" "$@")" /dev/null
}

# ---------------------------------------------------------------------------------------------------------------
# One whole life: before, an installation as `make install` makes it, after, list, report, dry run, remove.
m="$tmp/life"
make_machine "$m"
run=("$cli" --prefix "$m" --data-dir "$tmp/data")
"${run[@]}" before "Hello 2.1" </dev/null >"$tmp/out" 2>"$tmp/err" || fail "before: status $?: $(cat "$tmp/err")"
[ -s "$tmp/out" ] && fail "before printed on standard output: $(cat "$tmp/out")"
# The drive's root and its 7 folders; WIN.INI, AUTOEXEC.BAT and the older tool.
[ "$(cat "$tmp/err")" = "morvane-cli: BEFORE file made for Hello 2.1: 8 directories, 3 files on drive C" ] ||
  fail "before without a terminal printed other than its result: $(cat "$tmp/err")"
head -c 11 "$tmp/data/BEFORE.DAT" | cmp -s - <(crlf "Hello 2.1" | head -c 11) || fail "BEFORE.DAT does not name Hello 2.1"
grep -q $'^\\\\usr\\\\local\\\\bin\\\\older-tool\r$' "$tmp/data/BEFORE.DAT" || fail "BEFORE.DAT lacks the older tool"
pristine="$(state_of "$m")"

# make install
mkdir -p "$m/drive_c/usr/local/share/hello/locale"
echo "binary" >"$m/drive_c/usr/local/bin/hello"
echo "page" >"$m/drive_c/usr/local/share/man/man1/hello.1"
echo "data" >"$m/drive_c/usr/local/share/hello/hello.dat"
echo "words" >"$m/drive_c/usr/local/share/hello/locale/de.mo"
crlf "[windows]" "load=hello" >"$m/drive_c/windows/WIN.INI"

"${run[@]}" after </dev/null >"$tmp/out" 2>"$tmp/err" || fail "after: status $?: $(cat "$tmp/err")"
expected=$'Installation Report\n\nNumber of subdirectories created during installation: 2\nNumber of files installed in old subdirectories: 2\nWIN.INI was modified.'
[ "$(cat "$tmp/out")" = "$expected" ] || fail "after printed: $(cat "$tmp/out")"
[ "$(cat "$tmp/err")" = "morvane-cli: AFTER1.DAT made for Hello 2.1: 2 directories, 2 files added on drive C" ] ||
  fail "after printed on standard error: $(cat "$tmp/err")"
[ -e "$tmp/data/BEFORE.DAT" ] && fail "after left the BEFORE file"
expected="$(crlf "Hello 2.1" "C" '\usr\local\share\hello\locale\' '\usr\local\share\hello\' \
  '\usr\local\share\man\man1\hello.1' '\usr\local\bin\hello' "*AUTOEXEC*" "~NO CHANGE~" "*END AUTOEXEC*" \
  "*CONFIG*" "~NO CHANGE~" "*END CONFIG*" "*WIN*" "[windows]" "load=" "*NEW WIN*" "[windows]" "load=hello" \
  "*END WIN*" "*SYSTEM*" "~NO CHANGE~" "*END SYSTEM*" | od -c)"
[ "$(od -c <"$tmp/data/AFTER1.DAT")" = "$expected" ] || fail "AFTER1.DAT is not the record of the installation"

[ "$("${run[@]}" list)" = $'1\tHello 2.1' ] || fail "list printed: $("${run[@]}" list)"

expected='Changes for Hello 2.1
Directories added: 2
Files Added: 2
AUTOEXEC.BAT changed: No
CONFIG.SYS changed: No
WIN.INI changed: Yes
SYSTEM.INI changed: No'
[ "$("${run[@]}" report 1)" = "$expected" ] || fail "report 1 printed: $("${run[@]}" report 1)"
c_on_disk="$m/drive_c"
expected="$expected

Directories added
C:\\usr\\local\\share\\hello\\locale\\	$c_on_disk/usr/local/share/hello/locale
C:\\usr\\local\\share\\hello\\	$c_on_disk/usr/local/share/hello

Files added
C:\\usr\\local\\share\\man\\man1\\hello.1	$c_on_disk/usr/local/share/man/man1/hello.1
C:\\usr\\local\\bin\\hello	$c_on_disk/usr/local/bin/hello

WIN.INI changes
added	load=hello
removed	load="
got="$("${run[@]}" report 1 --details)"
[ "$got" = "$expected" ] || fail "report 1 --details printed: $got"
# An entry that is gone keeps the path it had on disk.
mv "$m/drive_c/usr/local/share/hello" "$tmp/hello-away"
got="$("${run[@]}" report 1 --details)"
[ "$got" = "$expected" ] || fail "report 1 --details with the entries gone printed: $got"
mv "$tmp/hello-away" "$m/drive_c/usr/local/share/hello"
expected='{"number": 1, "program": "Hello 2.1", "directories_added": 2, "files_added": 2, "directories": [{"path": "C:\\usr\\local\\share\\hello\\locale\\", "disk_path": "'"$c_on_disk"'/usr/local/share/hello/locale"}, {"path": "C:\\usr\\local\\share\\hello\\", "disk_path": "'"$c_on_disk"'/usr/local/share/hello"}], "files": [{"path": "C:\\usr\\local\\share\\man\\man1\\hello.1", "disk_path": "'"$c_on_disk"'/usr/local/share/man/man1/hello.1"}, {"path": "C:\\usr\\local\\bin\\hello", "disk_path": "'"$c_on_disk"'/usr/local/bin/hello"}], "configuration": [{"file": "AUTOEXEC.BAT", "changed": false, "added": [], "removed": []}, {"file": "CONFIG.SYS", "changed": false, "added": [], "removed": []}, {"file": "WIN.INI", "changed": true, "added": ["load=hello"], "removed": ["load="]}, {"file": "SYSTEM.INI", "changed": false, "added": [], "removed": []}]}'
[ "$("${run[@]}" report 1 --json)" = "$expected" ] || fail "report 1 --json printed: $("${run[@]}" report 1 --json)"

# A dry run asks nothing and needs no --yes: each step with its Windows path, a tab and its path on disk. The
# restoration of WIN.INI is shown as --restore answers it, or as a question that would be asked.
installed="$(state_of "$m")"
records="$(state_of "$tmp/data")"
deletions="delete C:\\usr\\local\\share\\hello\\locale\\de.mo	$c_on_disk/usr/local/share/hello/locale/de.mo
rmdir C:\\usr\\local\\share\\hello\\locale	$c_on_disk/usr/local/share/hello/locale
delete C:\\usr\\local\\share\\hello\\hello.dat	$c_on_disk/usr/local/share/hello/hello.dat
rmdir C:\\usr\\local\\share\\hello	$c_on_disk/usr/local/share/hello
delete C:\\usr\\local\\share\\man\\man1\\hello.1	$c_on_disk/usr/local/share/man/man1/hello.1
delete C:\\usr\\local\\bin\\hello	$c_on_disk/usr/local/bin/hello"
replaced="write C:\\windows\\WIN.QRV	$c_on_disk/windows/WIN.QRV
	[windows]
	load=hello
write C:\\windows\\WIN.INI	$c_on_disk/windows/WIN.INI
	[windows]
	load="
record="delete $tmp/data/AFTER1.DAT	$tmp/data/AFTER1.DAT"
#     arguments                                 the restoration's steps
rows=(
  "-q remove 1 --dry-run --yes --restore replace" "$replaced"
  "remove 1 --dry-run"                            "ask C:\\windows\\WIN.INI	$c_on_disk/windows/WIN.INI"
  "remove 1 --dry-run --restore ask"              "ask C:\\windows\\WIN.INI	$c_on_disk/windows/WIN.INI"
  "remove 1 --dry-run --restore keep"             "keep C:\\windows\\WIN.INI	$c_on_disk/windows/WIN.INI"
  "--dry-run --restore merge remove 1"            "$replaced"
)
for ((i = 0; i < ${#rows[@]}; i += 2)); do
  read -r -a args <<<"${rows[i]}"
  got="$("${run[@]}" "${args[@]}" </dev/null 2>"$tmp/err")"
  status=$?
  [ "$status" = 0 ] || fail "${rows[i]} without a terminal: status $status: $(cat "$tmp/err")"
  [ "$got" = "$deletions
${rows[i + 1]}
$record" ] || fail "${rows[i]} printed: $got"
  [ -s "$tmp/err" ] && fail "${rows[i]} said on standard error: $(cat "$tmp/err")"
  [ "$(state_of "$m")" = "$installed" ] || fail "${rows[i]} changed the drive"
  [ "$(state_of "$tmp/data")" = "$records" ] || fail "${rows[i]} changed the data folder"
done
# On a terminal it asks nothing either: the same steps, with nothing typed.
in_terminal --prefix "$m" --data-dir "$tmp/data" remove 1 --dry-run </dev/null >"$tmp/screen" 2>&1 ||
  fail "remove --dry-run on a terminal: status $?: $(cat "$tmp/screen")"
[ "$(tr -d '\r' <"$tmp/screen")" = "$deletions
ask C:\\windows\\WIN.INI	$c_on_disk/windows/WIN.INI
$record" ] || fail "remove --dry-run on a terminal showed: $(cat -A "$tmp/screen")"
[ "$(state_of "$m")" = "$installed" ] || fail "the dry run on a terminal changed the drive"

"${run[@]}" remove 1 --yes --restore replace </dev/null >"$tmp/out" 2>"$tmp/err" ||
  fail "remove: status $?: $(cat "$tmp/err")"
[ -s "$tmp/out" ] && fail "remove printed on standard output: $(cat "$tmp/out")"
[ "$(od -c <"$m/drive_c/windows/WIN.QRV")" = "$(crlf "[windows]" "load=hello" | od -c)" ] ||
  fail "the safety copy is not WIN.INI as it was"
rm "$m/drive_c/windows/WIN.QRV"
[ "$(state_of "$m")" = "$pristine" ] || fail "after remove the drive is not as before the installation:
$(diff <(echo "$pristine") <(state_of "$m"))"
[ -e "$tmp/data/AFTER1.DAT" ] && fail "remove left the AFTER file"
[ -z "$("${run[@]}" list)" ] || fail "list after remove printed: $("${run[@]}" list)"

# ---------------------------------------------------------------------------------------------------------------
# Without a terminal nothing is asked: each command that needs an answer it was not given stops with status 1,
# names the option that gives it, and leaves the disk as it was.
n="$tmp/noninteractive"
make_machine "$n"
nrun=("$cli" --prefix "$n" --data-dir "$tmp/ndata")
"${nrun[@]}" before App >/dev/null 2>&1
echo "new" >"$n/drive_c/usr/local/bin/app"
crlf "[windows]" "load=app" >"$n/drive_c/windows/WIN.INI"
"${nrun[@]}" after >/dev/null 2>&1
"${nrun[@]}" before Next >/dev/null 2>&1
crlf "saved" >"$n/drive_c/AUTOEXEC.QRV"
#       option named   arguments
rows=(
  "--yes"     "remove 1"
  "--yes"     "remove 1 --restore merge"
  "--restore" "remove 1 --yes"
  "--restore" "remove 1 --yes --restore ask"
  "--yes"     "forget 1"
  "--yes"     "forget-before"
  "--yes"     "forget-safety"
)
for ((i = 0; i < ${#rows[@]}; i += 2)); do
  read -r -a args <<<"${rows[i + 1]}"
  before_state="$(state_of "$n")$(state_of "$tmp/ndata")"
  "${nrun[@]}" "${args[@]}" </dev/null >"$tmp/out" 2>"$tmp/err"
  status=$?
  [ "$status" = 1 ] || fail "${args[*]} without a terminal: status $status, expected 1"
  grep -q "give ${rows[i]} to answer it" "$tmp/err" || fail "${args[*]}: does not name ${rows[i]}: $(cat "$tmp/err")"
  [ "$(state_of "$n")$(state_of "$tmp/ndata")" = "$before_state" ] || fail "${args[*]} without an answer changed the disk"
done
# The dry run needs none of these answers: it names no option and changes nothing.
before_state="$(state_of "$n")$(state_of "$tmp/ndata")"
"${nrun[@]}" remove 1 --dry-run --restore keep </dev/null >"$tmp/out" 2>"$tmp/err" ||
  fail "remove 1 --dry-run --restore keep without a terminal: status $?: $(cat "$tmp/err")"
[ "$(cat "$tmp/out")" = "delete C:\\usr\\local\\bin\\app	$n/drive_c/usr/local/bin/app
keep C:\\windows\\WIN.INI	$n/drive_c/windows/WIN.INI
delete $tmp/ndata/AFTER1.DAT	$tmp/ndata/AFTER1.DAT" ] || fail "remove 1 --dry-run --restore keep printed: $(cat "$tmp/out")"
[ "$(state_of "$n")$(state_of "$tmp/ndata")" = "$before_state" ] || fail "the dry run without a terminal changed the disk"
# The same command on a terminal asks, and takes the answer typed there.
printf 'y\n' | in_terminal --prefix "$n" --data-dir "$tmp/ndata" forget-before >"$tmp/out" 2>&1
grep -q "Delete BEFORE file for Next? Are you sure? \[yes/no\]" "$tmp/out" || fail "forget-before on a terminal did not ask: $(cat "$tmp/out")"
[ -e "$tmp/ndata/BEFORE.DAT" ] && fail "forget-before answered y on a terminal kept the BEFORE file"

# On a terminal every question is asked with the windows' text, an answer it does not know is asked again, and
# the restoration window's choices are a numbered menu.
t="$tmp/terminal"
make_machine "$t"
trun=(--prefix "$t" --data-dir "$tmp/tdata")
"$cli" "${trun[@]}" before Tee >/dev/null 2>&1
mkdir "$t/drive_c/tee"
echo 1 >"$t/drive_c/tee/tee.exe"
echo 2 >"$t/drive_c/windows/tee.dll"
echo 3 >"$t/drive_c/tee.log"
crlf "[windows]" "load=tee" >"$t/drive_c/windows/WIN.INI"
"$cli" "${trun[@]}" after >/dev/null 2>&1
crlf "[windows]" "load=tee" "mine=1" >"$t/drive_c/windows/WIN.INI"
# The dry run shows no menu and no question, and does not beep before the menu it does not show.
in_terminal "${trun[@]}" remove 1 --dry-run </dev/null >"$tmp/screen" 2>&1 ||
  fail "remove --dry-run on a terminal: status $?: $(cat -A "$tmp/screen")"
[ "$(tr -d '\r' <"$tmp/screen")" = "delete C:\\tee\\tee.exe	$t/drive_c/tee/tee.exe
rmdir C:\\tee	$t/drive_c/tee
delete C:\\windows\\tee.dll	$t/drive_c/windows/tee.dll
delete C:\\tee.log	$t/drive_c/tee.log
ask C:\\windows\\WIN.INI	$t/drive_c/windows/WIN.INI
delete $tmp/tdata/AFTER1.DAT	$tmp/tdata/AFTER1.DAT" ] || fail "remove --dry-run on a terminal showed: $(cat -A "$tmp/screen")"
printf 'y\ny\nmaybe\ny\nn\n3\n' | in_terminal "${trun[@]}" remove 1 >"$tmp/screen" 2>&1 ||
  fail "remove on a terminal: status $?: $(cat "$tmp/screen")"
for question in "Delete Tee? Are you sure? [yes/no]" \
  "Confirm deletion of files in pre-existing directories? [yes/no]" \
  "Delete C:\\windows\\tee.dll? [yes/no] Delete C:\\windows\\tee.dll? [yes/no]" "Delete C:\\tee.log? [yes/no]" \
  "Considering restoring original C:\\windows\\WIN.INI file." "  3 Attempt to restore file while maintaining recent changes" \
  "Option [1/2/3]"; do
  grep -qF "$question" "$tmp/screen" || fail "remove on a terminal did not show: $question"
done
[ -e "$t/drive_c/tee" ] && fail "remove on a terminal left the new directory"
[ -e "$t/drive_c/windows/tee.dll" ] && fail "remove on a terminal left the file answered y"
[ -e "$t/drive_c/tee.log" ] || fail "remove on a terminal deleted the file answered n"
[ "$(od -c <"$t/drive_c/windows/WIN.INI")" = "$(crlf "[windows]" "load=" "mine=1" | od -c)" ] ||
  fail "menu choice 3 did not merge WIN.INI: $(cat -A "$t/drive_c/windows/WIN.INI")"

# ---------------------------------------------------------------------------------------------------------------
# Ctrl-C while AFTER creation waits at a drive that is not ready: no partial AFTER file, the BEFORE file as it was.
c="$tmp/interrupt"
make_machine "$c"
mkdir -p "$tmp/d-root"
ln -s ../../d-root "$c/dosdevices/d:"
crun=("$cli" --prefix "$c" --data-dir "$tmp/cdata")
"${crun[@]}" before Stopped --drives CD >/dev/null 2>&1
snapshot="$(od -c <"$tmp/cdata/BEFORE.DAT")"
rm "$c/dosdevices/d:"
mkfifo "$tmp/keys"
(script -qfec "$(printf '%q ' "${crun[@]}" after)" /dev/null <"$tmp/keys" >"$tmp/screen" 2>&1
  echo "status $?" >>"$tmp/screen") &
exec 3>"$tmp/keys"
for ((i = 0; i < 300; i++)); do
  grep -q "Drive D is not ready" "$tmp/screen" 2>/dev/null && break
  sleep 0.1
done
[ -e "$tmp/cdata/AFTER1.DAT" ] || fail "the AFTER file was not being written when Ctrl-C came"
printf '\003' >&3
exec 3>&-
wait
grep -q "status 130" "$tmp/screen" || fail "Ctrl-C did not end morvane-cli as an interrupt: $(tail -c 300 "$tmp/screen")"
grep -q "no AFTER file was made and the BEFORE file is kept" "$tmp/screen" || fail "Ctrl-C was not reported"
[ -e "$tmp/cdata/AFTER1.DAT" ] && fail "Ctrl-C left the partial AFTER file"
[ "$(od -c <"$tmp/cdata/BEFORE.DAT")" = "$snapshot" ] || fail "Ctrl-C changed the BEFORE file"

# ---------------------------------------------------------------------------------------------------------------
# Exit statuses: 0 success, 1 failed or refused, 2 a wrong command line (nothing is then created).
e="$tmp/statuses"
make_machine "$e"
touch "$tmp/a-file"
erun=(--prefix "$e" --data-dir "$tmp/edata")
#  status  arguments
rows=(
  0 "--help"
  0 "--version"
  0 "remove --help"
  0 "${erun[*]} list"
  2 ""
  2 "frobnicate"
  2 "${erun[*]} list --frobnicate"
  2 "${erun[*]} report 1 --yes"
  2 "${erun[*]} report"
  2 "${erun[*]} report one"
  2 "${erun[*]} remove 1 --restore sometimes"
  2 "${erun[*]} list extra"
  2 "${erun[*]} before"
  2 "${erun[*]} before App --drives"
  2 "--prefix $tmp/absent --data-dir $tmp/edata list"
  2 "--prefix $e --data-dir $tmp/a-file list"
  1 "${erun[*]} after"
  1 "${erun[*]} report 1"
  1 "${erun[*]} forget-before --yes"
  1 "${erun[*]} forget-safety --yes"
  1 "${erun[*]} before App --drives 1"
  0 "${erun[*]} before App"
  1 "${erun[*]} before Other"
  0 "${erun[*]} after"
  1 "${erun[*]} report 2"
  1 "${erun[*]} remove 2 --yes --restore keep"
  0 "${erun[*]} report 1"
  0 "${erun[*]} forget 1 --yes"
  0 "${erun[*]} list"
)
for ((i = 0; i < ${#rows[@]}; i += 2)); do
  read -r -a args <<<"${rows[i + 1]}"
  "$cli" "${args[@]}" </dev/null >/dev/null 2>"$tmp/err"
  status=$?
  [ "$status" = "${rows[i]}" ] || fail "morvane-cli ${rows[i + 1]}: status $status, expected ${rows[i]}: $(cat "$tmp/err")"
done
[ -e "$tmp/absent" ] && fail "a wrong command line created the prefix"
# Relative folders are taken from the working folder, their ".." resolved as text.
(cd "$tmp" && "$cli" --prefix ./statuses/../statuses --data-dir new/../made/data list >/dev/null 2>&1) ||
  fail "relative --prefix and --data-dir were refused"
[ -d "$tmp/made/data" ] && [ ! -e "$tmp/new" ] || fail "relative --data-dir not made as $tmp/made/data: $(ls "$tmp")"
[ -e "$tmp/xdg" ] && fail "the per-user data folder was used although --data-dir was given"
got="$("$cli" frobnicate 2>&1)"
[ "$got" = "morvane-cli: Unknown command 'frobnicate'. See morvane-cli --help." ] || fail "unknown command: $got"
got="$("$cli" "${erun[@]}" report 7 2>&1)"
[ "$got" = "morvane-cli: no such program: 7 (see morvane-cli list)" ] || fail "report without records: $got"
"$cli" "${erun[@]}" before App >/dev/null 2>&1 && "$cli" "${erun[@]}" after >/dev/null 2>&1
got="$("$cli" "${erun[@]}" remove 4 --yes --restore keep 2>&1)"
[ "$got" = "morvane-cli: no such program: 4 (see morvane-cli list)" ] || fail "remove of no such program: $got"

# ---------------------------------------------------------------------------------------------------------------
# The command line, read from one table: a wrong one is named on standard error with status 2 and nothing on
# standard output; each command's help and the version go to standard output with status 0.
see=" See morvane-cli --help."
#  status  standard output (first line)  standard error  arguments
rows=(
  2 "" "morvane-cli: Unknown option '--frobnicate'.$see"                "list --frobnicate"
  2 "" "morvane-cli: Unknown option '--frobnicate'.$see"                "--frobnicate=1 list"
  2 "" "morvane-cli: Unknown option '-x'.$see"                          "list -x"
  2 "" "morvane-cli: Unknown option '-x'.$see"                          "-qx list"
  2 "" "morvane-cli: Unknown option '--yes' for report.$see"            "report 1 --yes"
  2 "" "morvane-cli: Unknown option '--yes' for report.$see"            "--yes report 1"
  2 "" "morvane-cli: Unknown option '--dry-run' for forget.$see"        "forget 1 --dry-run"
  2 "" "morvane-cli: Unknown option '--drives' for after.$see"          "after --drives CD"
  2 "" "morvane-cli: Unknown option '--details' for remove.$see"        "remove 1 --details"
  2 "" "morvane-cli: The option '--json' takes no value.$see"           "report 1 --json=yes"
  2 "" "morvane-cli: The option '--quiet' takes no value.$see"          "--quiet=1 list"
  2 "" "morvane-cli: Missing value after '--drives'.$see"               "before App --drives"
  2 "" "morvane-cli: Missing value after '--prefix'.$see"               "list --prefix"
  2 "" "morvane-cli: --restore takes ask, keep, replace or merge.$see"  "remove 1 --restore sometimes"
  2 "" "morvane-cli: Ambiguous option '--d': --data-dir, --drives, --details, --dry-run.$see" "remove 1 --d"
  2 "" "morvane-cli: Unknown command 'frobnicate'.$see"                 "frobnicate --yes"
  2 "" "morvane-cli: No command given.$see"                             "--yes"
  2 "" "morvane-cli: list takes no arguments.$see"                      "list extra"
  2 "" "morvane-cli: report takes the number of a program.$see"         "report one"
  2 "" "morvane-cli: before takes the program's name.$see"              "before"
  0 "Usage: morvane-cli [OPTIONS] COMMAND [ARGUMENTS]"                               "" "--help"
  0 "Usage: morvane-cli [OPTIONS] COMMAND [ARGUMENTS]"                               "" "-h"
  0 "Usage: morvane-cli before NAME [--drives LETTERS]"                              "" "before --help"
  0 "Usage: morvane-cli after"                                                       "" "-h after"
  0 "Usage: morvane-cli list"                                                        "" "list -h"
  0 "Usage: morvane-cli report N [--details] [--json]"                               "" "report --help"
  0 "Usage: morvane-cli remove N [--yes] [--restore ask|keep|replace|merge] [--dry-run]" "" "remove 1 --dry-run --help"
  0 "Usage: morvane-cli forget N [--yes]"                                            "" "--help forget"
  0 "Usage: morvane-cli forget-before [--yes]"                                       "" "forget-before --help"
  0 "Usage: morvane-cli forget-safety [--yes]"                                       "" "forget-safety --help"
  0 "morvane-cli $version"                                                           "" "--version"
  0 "morvane-cli $version"                                                           "" "-v list"
)
for ((i = 0; i < ${#rows[@]}; i += 4)); do
  read -r -a args <<<"${rows[i + 3]}"
  got_out="$("$cli" "${args[@]}" </dev/null 2>"$tmp/err")"
  status=$?
  [ "$status" = "${rows[i]}" ] || fail "morvane-cli ${rows[i + 3]}: status $status, expected ${rows[i]}"
  [ "$(head -n 1 <<<"$got_out")" = "${rows[i + 1]}" ] || fail "morvane-cli ${rows[i + 3]} printed: $got_out"
  [ "$(cat "$tmp/err")" = "${rows[i + 2]}" ] || fail "morvane-cli ${rows[i + 3]} said: $(cat "$tmp/err")"
  # The usage names every command as its own help does.
  if [ "${rows[i]}" = 0 ] && [ "${rows[i + 3]}" != --help ] && [[ "${rows[i + 1]}" == "Usage: morvane-cli "[a-z]* ]]; then
    grep -qF -- "  ${rows[i + 1]#Usage: morvane-cli }" <<<"$("$cli" --help)" ||
      fail "morvane-cli --help does not name: ${rows[i + 1]#Usage: morvane-cli }"
  fi
done

# ---------------------------------------------------------------------------------------------------------------
# before and after end with one line on standard error that says what they recorded, unless -q.
q="$tmp/results"
make_machine "$q"
mkdir "$tmp/q-d"
ln -s ../../q-d "$q/dosdevices/d:"
qrun=("$cli" --prefix "$q" --data-dir "$tmp/qdata")
"${qrun[@]}" -q before Quiet </dev/null >"$tmp/out" 2>"$tmp/err" || fail "before -q: status $?"
[ -s "$tmp/err" ] && fail "before -q said: $(cat "$tmp/err")"
mkdir "$q/drive_c/quiet"
echo q >"$q/drive_c/quiet/q.exe"
"${qrun[@]}" after --quiet </dev/null >"$tmp/out" 2>"$tmp/err" || fail "after --quiet: status $?"
[ -s "$tmp/err" ] && fail "after --quiet said: $(cat "$tmp/err")"
[ -s "$tmp/qdata/AFTER1.DAT" ] || fail "after --quiet made no AFTER file"
"${qrun[@]}" before Loud --drives cd </dev/null >"$tmp/out" 2>"$tmp/err" || fail "before --drives cd: status $?"
# C: its root and 8 folders, 4 files; D: its root.
[ "$(cat "$tmp/err")" = "morvane-cli: BEFORE file made for Loud: 10 directories, 4 files on drives C and D" ] ||
  fail "before --drives cd said: $(cat "$tmp/err")"
mkdir "$q/drive_c/loud"
echo l >"$tmp/q-d/loud.txt"
"${qrun[@]}" after </dev/null >"$tmp/out" 2>"$tmp/err" || fail "after: status $?"
[ "$(cat "$tmp/err")" = "morvane-cli: AFTER2.DAT made for Loud: 1 directory, 1 file added on drives C and D" ] ||
  fail "after said: $(cat "$tmp/err")"
# A command that made nothing says nothing of the kind.
"${qrun[@]}" after </dev/null >"$tmp/out" 2>"$tmp/err" && fail "after without a BEFORE file succeeded"
grep -q "made for" "$tmp/err" && fail "after without a BEFORE file said: $(cat "$tmp/err")"

# ---------------------------------------------------------------------------------------------------------------
# The bash completion, made from the same table: what it offers for the words typed so far.
mkdir -p "$tmp/complete/folder-one" "$tmp/complete/folder-two"
touch "$tmp/complete/folder-file"
# The words offered, in any order: sorted.
offered() {
  bash -c 'source "$1"; shift; COMP_WORDS=(morvane-cli "$@"); COMP_CWORD=$#; _morvane_cli
    printf "%s\n" "${COMPREPLY[@]}"' - "$completion" "$@" | LC_ALL=C sort | paste -sd ' '
}
sorted() { tr ' ' '\n' <<<"$1" | LC_ALL=C sort | paste -sd ' '; }
#  offered                                                          words typed, the last one being completed
rows=(
  "before after list report remove forget forget-before forget-safety" ""
  "forget forget-before forget-safety"                              "f"
  "--prefix --data-dir --quiet --help --version"                    "--"
  "--prefix --data-dir -q --quiet -h --help -v --version --drives"  "before App -"
  "--details"                                                        "report 1 --de"
  "--prefix --data-dir --quiet --help --version --details --json"   "report 1 --"
  "--prefix --data-dir --quiet --help --version --yes --restore --dry-run" "remove 1 --restore keep --"
  "ask keep replace merge"                                           "remove 1 --restore ''"
  "merge"                                                            "remove 1 --restore m"
  "replace"                                                          "remove 1 --restore = r"
  "ask keep replace merge"                                           "remove 1 --restore ="
  "$tmp/complete/folder-one $tmp/complete/folder-two"                "--prefix $tmp/complete/f"
  "--data-dir --drives"                                              "--prefix $tmp/complete before --d"
  ""                                                                 "before App --drives ''"
  ""                                                                 "list --y"
  ""                                                                 "frobnicate --"
  ""                                                                 "report ''"
)
for ((i = 0; i < ${#rows[@]}; i += 2)); do
  eval "words=(${rows[i + 1]})"
  [ "${#words[@]}" -gt 0 ] || words=("")
  got="$(offered "${words[@]}" 2>&1)"
  [ "$got" = "$(sorted "${rows[i]}")" ] || fail "completion of '${rows[i + 1]}' offered '$got', expected '${rows[i]}'"
done
bash -n "$completion" || fail "the completion is not a bash script"
grep -q '^complete -F _morvane_cli morvane-cli$' "$completion" || fail "the completion does not complete morvane-cli"

[ "$failures" -eq 0 ] || exit 1
echo "morvane-cli: all checks passed"

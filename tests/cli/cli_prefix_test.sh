#!/usr/bin/env bash
# morvane-cli in a Wine prefix, as a shell user meets it: before and after say that they kept the prefix's
# registry and desktop entries, report shows the registry changes and desktop entries as text and as JSON (text
# decoded from the registry's UTF-16), the dry run of remove lists the steps that take them back, remove takes them
# back, and a running wineserver stops before, after and remove with status 1 and changes nothing.
# Arguments: the executable, the folder of registry files a fresh Wine made (system.reg, user.reg, userdef.reg).
set -u
cli="$(realpath "$1")"
registry="$(realpath "$2")"
tmp="$(mktemp -d)"
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/xdg" XDG_CONFIG_HOME="$tmp/config" TMPDIR="$tmp/tmp"
export WINEPREFIX="$tmp/p"
p="$WINEPREFIX"
# Any wineserver this test started ends with it.
trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
state_of() {
  (cd "$1" && find . -printf '%p %y %m %s\n' | sort && find . -type f -print0 | sort -z | xargs -0 -r md5sum)
}
# The whole of what the commands may touch: the prefix, the desktop entries and the records.
everything() { state_of "$p"; state_of "$XDG_DATA_HOME"; state_of "$tmp/data"; }

mkdir -p "$HOME" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME" "$TMPDIR" "$p/dosdevices" "$p/drive_c/windows"
ln -s ../drive_c "$p/dosdevices/c:"
cp "$registry"/system.reg "$registry"/user.reg "$registry"/userdef.reg "$p/"
printf '[windows]\r\n' >"$p/drive_c/windows/WIN.INI"
run=("$cli" --data-dir "$tmp/data")
key='Control Panel\Accessibility\AudioDescription'
hkcu="HKEY_CURRENT_USER\\$key"
app_desktop="$XDG_DATA_HOME/applications/wine/Programs/App/App.desktop"

# ---------------------------------------------------------------------------------------------------------------
# before, an installation that changes the registry and adds a menu entry, after.
"${run[@]}" before App </dev/null >"$tmp/out" 2>"$tmp/err" || fail "before: status $?: $(cat "$tmp/err")"
[ "$(cat "$tmp/err")" = "morvane-cli: BEFORE file made for App: 2 directories, 1 file on drive C, and the registry and desktop entries of the Wine prefix $p" ] ||
  fail "before said: $(cat "$tmp/err")"
cp "$p/user.reg" "$tmp/user.reg.before"

# In the key of the installation: a binary value, a number, a multi-string and a text beyond ASCII (é, €, an emoji
# as a surrogate pair, a surrogate without its partner) added, and a text changed, in Wine's own notation.
python3 - "$p/user.reg" <<'EOF' || fail "the installation's registry change could not be made"
import sys
path = sys.argv[1]
text = open(path, newline='').read()
old = '"Locale"=dword:00000000\n"On"="0"\n'
new = ('"Blob"=hex:de,ad,be,ef\n"Count"=dword:0000002a\n"List"=str(7):"eins\\0zwei\\0"\n'
       '"Locale"=dword:00000000\n"Name"="Caf\\x00e9 \\x20ac \\xd83d\\xde00 \\xd800!"\n"On"="1"\n')
assert text.count(old) == 1
open(path, 'w', newline='').write(text.replace(old, new))
EOF
mkdir -p "$(dirname "$app_desktop")"
printf '[Desktop Entry]\nName=App\n' >"$app_desktop"

"${run[@]}" after </dev/null >"$tmp/out" 2>"$tmp/err" || fail "after: status $?: $(cat "$tmp/err")"
[ "$(cat "$tmp/err")" = "morvane-cli: AFTER1.DAT made for App: 0 directories, 0 files added on drive C, 5 registry changes and 1 desktop entry in the Wine prefix $p" ] ||
  fail "after said: $(cat "$tmp/err")"
[ -s "$tmp/data/AFTER1.WINE" ] || fail "after left no companion beside AFTER1.DAT"

# ---------------------------------------------------------------------------------------------------------------
# report: the two facts, then with --details the two lists after the others.
summary='Changes for App
Directories added: 0
Files Added: 0
AUTOEXEC.BAT changed: No
CONFIG.SYS changed: No
WIN.INI changed: No
SYSTEM.INI changed: No
Registry changed: Yes
Desktop entries added: 1'
name_line="Value added: $hkcu \"Name\" = \"Caf$(printf '\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 \xed\xa0\x80')!\""
details="$summary

Registry changes
Value added: $hkcu \"Blob\" = type 3 bytes de ad be ef
Value added: $hkcu \"Count\" = number 0x0000002a (42)
Value added: $hkcu \"List\" = list (\"eins\", \"zwei\")
$name_line
Value changed: $hkcu \"On\": \"0\" -> \"1\"

Desktop entries added
$app_desktop
$XDG_DATA_HOME/applications/wine/Programs/App/
$XDG_DATA_HOME/applications/wine/Programs/
$XDG_DATA_HOME/applications/wine/"
#  expected     arguments
rows=(
  "$summary" "report 1"
  "$details" "report 1 --details"
)
for ((i = 0; i < ${#rows[@]}; i += 2)); do
  read -r -a args <<<"${rows[i + 1]}"
  got="$("${run[@]}" "${args[@]}" 2>"$tmp/err")" || fail "${rows[i + 1]}: status $?: $(cat "$tmp/err")"
  [ "$got" = "${rows[i]}" ] || fail "${rows[i + 1]} printed: $got
expected: ${rows[i]}"
done

# --json: valid JSON, whose registry and desktop parts decode to these values (written back by Python with
# ensure_ascii, so that every character beyond ASCII shows as its escape).
"${run[@]}" report 1 --json >"$tmp/report.json" 2>"$tmp/err" || fail "report --json: status $?: $(cat "$tmp/err")"
python3 -m json.tool "$tmp/report.json" >/dev/null || fail "report --json is not JSON: $(cat "$tmp/report.json")"
part() {
  python3 -c 'import json, sys
d = json.load(open(sys.argv[1]))
print(json.dumps(d.get(sys.argv[2], "(absent)"), sort_keys=True))' "$1" "$2"
}
hash="$(sha256sum "$app_desktop" | cut -d' ' -f1)"
#  key         its value, as Python writes it back
rows=(
  prefix       "\"$p\""
  registry     "[{\"after\": {\"data\": \"deadbeef\", \"type\": 3}, \"change\": \"value added\", \"hive\": \"HKEY_CURRENT_USER\", \"key\": \"Control Panel\\\\Accessibility\\\\AudioDescription\", \"value\": \"Blob\"}, {\"after\": {\"data\": 42, \"type\": 4}, \"change\": \"value added\", \"hive\": \"HKEY_CURRENT_USER\", \"key\": \"Control Panel\\\\Accessibility\\\\AudioDescription\", \"value\": \"Count\"}, {\"after\": {\"data\": [\"eins\", \"zwei\"], \"type\": 7}, \"change\": \"value added\", \"hive\": \"HKEY_CURRENT_USER\", \"key\": \"Control Panel\\\\Accessibility\\\\AudioDescription\", \"value\": \"List\"}, {\"after\": {\"data\": \"Caf\\u00e9 \\u20ac \\ud83d\\ude00 \\ud800!\", \"type\": 1}, \"change\": \"value added\", \"hive\": \"HKEY_CURRENT_USER\", \"key\": \"Control Panel\\\\Accessibility\\\\AudioDescription\", \"value\": \"Name\"}, {\"after\": {\"data\": \"1\", \"type\": 1}, \"before\": {\"data\": \"0\", \"type\": 1}, \"change\": \"value changed\", \"hive\": \"HKEY_CURRENT_USER\", \"key\": \"Control Panel\\\\Accessibility\\\\AudioDescription\", \"value\": \"On\"}]"
  desktop      "{\"entries\": [{\"disk\": \"unchanged\", \"path\": \"$app_desktop\", \"sha256\": \"$hash\"}], \"folders\": [\"$XDG_DATA_HOME/applications/wine/Programs/App\", \"$XDG_DATA_HOME/applications/wine/Programs\", \"$XDG_DATA_HOME/applications/wine\"]}"
  files_added  "0"
)
for ((i = 0; i < ${#rows[@]}; i += 2)); do
  got="$(part "$tmp/report.json" "${rows[i]}")"
  [ "$got" = "${rows[i + 1]}" ] || fail "report --json's ${rows[i]}: $got
expected: ${rows[i + 1]}"
done
# The text is real UTF-8 in the document, not escaped bytes; only the lone surrogate is an escape.
grep -qF "\"Caf$(printf '\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80') \\ud800!\"" "$tmp/report.json" ||
  fail "report --json does not hold the text as UTF-8: $(grep -o '"Caf[^"]*"' "$tmp/report.json")"
# A desktop entry the user changed, or that is gone, says so.
cp "$app_desktop" "$tmp/app.desktop"
#  disk        what happens to the entry after the installation
rows=(
  changed      "echo Mine >>'$app_desktop'"
  missing      "rm '$app_desktop'"
  changed      "rm '$app_desktop' && ln -s '$tmp/app.desktop' '$app_desktop'"
  unchanged    ":"
)
for ((i = 0; i < ${#rows[@]}; i += 2)); do
  rm -f "$app_desktop"
  cp "$tmp/app.desktop" "$app_desktop"
  eval "${rows[i + 1]}"
  got="$("${run[@]}" report 1 --json | python3 -c 'import json, sys; print(json.load(sys.stdin)["desktop"]["entries"][0]["disk"])')"
  [ "$got" = "${rows[i]}" ] || fail "a desktop entry after '${rows[i + 1]}' is '$got', expected ${rows[i]}"
done
rm -f "$app_desktop"
cp "$tmp/app.desktop" "$app_desktop"

# ---------------------------------------------------------------------------------------------------------------
# The dry run: after the files, one line per step that takes the prefix's changes back; then the companion and the
# record. It changes nothing.
installed="$(everything)"
"${run[@]}" remove 1 --dry-run </dev/null >"$tmp/out" 2>"$tmp/err" || fail "remove --dry-run: status $?: $(cat "$tmp/err")"
expected="delete value $hkcu \"Blob\"
delete value $hkcu \"Count\"
delete value $hkcu \"List\"
delete value $hkcu \"Name\"
restore value $hkcu \"On\"
delete $app_desktop
remove folder $XDG_DATA_HOME/applications/wine/Programs/App once empty
remove folder $XDG_DATA_HOME/applications/wine/Programs once empty
remove folder $XDG_DATA_HOME/applications/wine once empty
delete $tmp/data/AFTER1.WINE	$tmp/data/AFTER1.WINE
delete $tmp/data/AFTER1.DAT	$tmp/data/AFTER1.DAT"
[ "$(sort "$tmp/out")" = "$(sort <<<"$expected")" ] || fail "remove --dry-run printed: $(cat "$tmp/out")"
[ "$(tail -n 2 "$tmp/out")" = "$(tail -n 2 <<<"$expected")" ] || fail "the records are not the dry run's last steps"
[ "$(everything)" = "$installed" ] || fail "the dry run changed the disk"

# ---------------------------------------------------------------------------------------------------------------
# A running wineserver owns the registry: before, after and remove stop with status 1 and the engine's message,
# and leave everything as it was. `after` needs a BEFORE file, made while no server runs; `before` a data folder
# without one.
"${run[@]}" before Next </dev/null >/dev/null 2>&1 || fail "before Next: status $?"
"$cli" --data-dir "$tmp/other" list >/dev/null 2>&1 || fail "list in a new data folder: status $?"
wineserver -p || fail "wineserver -p did not start"
held="$(everything; state_of "$tmp/other")"
#  arguments
rows=(
  "--data-dir $tmp/other before Other"
  "--data-dir $tmp/data after"
  "--data-dir $tmp/data remove 1 --yes --restore keep"
)
for args in "${rows[@]}"; do
  read -r -a words <<<"$args"
  "$cli" "${words[@]}" </dev/null >"$tmp/out" 2>"$tmp/err"
  status=$?
  [ "$status" = 1 ] || fail "$args while a wineserver runs: status $status, expected 1"
  grep -qF "is running for the Wine prefix $p" "$tmp/err" || fail "$args did not name the wineserver: $(cat "$tmp/err")"
  grep -qF "WINEPREFIX='$p' wineserver -k" "$tmp/err" || fail "$args did not say how to end it: $(cat "$tmp/err")"
  now="$(everything; state_of "$tmp/other")"
  [ "$now" = "$held" ] || fail "$args while a wineserver runs changed the disk: $(diff <(echo "$held") <(echo "$now"))"
done
wineserver -k
wineserver -w
"${run[@]}" forget-before --yes </dev/null >/dev/null 2>&1 || fail "forget-before: status $?"

# ---------------------------------------------------------------------------------------------------------------
# remove takes the changes back: the registry as before the installation, the menu entry and its folders gone.
cp "$p/user.reg" "$tmp/user.reg.installed"
"${run[@]}" remove 1 --yes --restore keep </dev/null >"$tmp/out" 2>"$tmp/err" || fail "remove: status $?: $(cat "$tmp/err")"
# The key it changed differs only in its time (the time of the change), as Wine dates a key it writes.
changed="$(diff "$tmp/user.reg.before" "$p/user.reg" | grep '^[<>]')"
[ "$(grep -cvE "^[<>] (\[Control Panel\\\\\\\\Accessibility\\\\\\\\AudioDescription\] [0-9]+|#time=[0-9a-f]+)$" <<<"$changed")" = 0 ] ||
  fail "remove did not put user.reg back as it was: $changed"
cmp -s "$p/user.QRV" "$tmp/user.reg.installed" || fail "the safety copy user.QRV is not user.reg as the installation left it"
[ -e "$XDG_DATA_HOME/applications/wine" ] && fail "remove left the menu entry's folders"
[ -e "$tmp/data/AFTER1.DAT" ] || [ -e "$tmp/data/AFTER1.WINE" ] && fail "remove left the record or its companion"

# ---------------------------------------------------------------------------------------------------------------
# A record without a companion reports as it always did: no rows, no keys.
mkdir -p "$tmp/plain/dosdevices" "$tmp/plain/drive_c"
ln -s ../drive_c "$tmp/plain/dosdevices/c:"
plain=("$cli" --prefix "$tmp/plain" --data-dir "$tmp/pdata")
"${plain[@]}" before Plain </dev/null >/dev/null 2>"$tmp/err" || fail "before without a registry: status $?"
grep -q "Wine prefix" "$tmp/err" && fail "before without a registry named the prefix: $(cat "$tmp/err")"
"${plain[@]}" after </dev/null >/dev/null 2>"$tmp/err" || fail "after without a registry: status $?"
grep -q "Wine prefix" "$tmp/err" && fail "after without a registry named the prefix: $(cat "$tmp/err")"
"${plain[@]}" report 1 --details | grep -qE "Registry|Desktop" && fail "a record without a companion shows the prefix's rows"
"${plain[@]}" report 1 --json >"$tmp/plain.json"
for key in prefix registry desktop; do
  [ "$(part "$tmp/plain.json" "$key")" = '"(absent)"' ] || fail "a record without a companion has the key $key"
done

[ "$failures" -eq 0 ] || exit 1
echo "morvane-cli in a Wine prefix: all checks passed"

#!/usr/bin/env bash
# A Windows program installed by a real installer in a real Wine prefix, then removed by morvane-cli: the files,
# the registry changes and the desktop entries all go, the user's later edit stays, and Wine still reads its
# registry and no longer lists the program. A running wineserver makes the removal refuse and change nothing.
# Arguments: morvane-cli, the installer's script (quillpad.nsi).
set -u
cli="$(realpath "$1")"
nsi="$(realpath "$2")"
tmp="$(mktemp -d)"
export HOME="$tmp/home" TMPDIR="$tmp/tmp" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export XDG_DATA_HOME="$HOME/.local/share" XDG_CONFIG_HOME="$HOME/.config" WINEPREFIX="$HOME/.wine"
unset DISPLAY WAYLAND_DISPLAY XDG_RUNTIME_DIR
mkdir -p "$HOME" "$TMPDIR"
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  rm -rf "$tmp"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Waits until the prefix's wineserver has ended and written the registry files.
settle() { wineserver -w; }
# Every path below the home folder with its kind and size, and every file's bytes, but for the registry files,
# whose key times change at every Wine session.
state_of() {
  (cd "$HOME" && find . -path ./.wine/drive_c/windows -prune -o ! -name '*.reg' -printf '%p %y %s\n' | sort &&
    find . -path ./.wine/drive_c/windows -prune -o -type f ! -name '*.reg' -print0 | sort -z | xargs -0 -r md5sum)
}

# The prefix, made once for the whole run.
wineboot -i >"$tmp/wineboot.log" 2>&1 || { echo "wineboot failed: $(tail -5 "$tmp/wineboot.log")"; exit 1; }
settle
makensis -V2 -DOUT="$tmp/QuillpadSetup.exe" "$nsi" >"$tmp/makensis.log" 2>&1 ||
  { echo "makensis failed: $(cat "$tmp/makensis.log")"; exit 1; }
data=(--data-dir "$tmp/data")

"$cli" "${data[@]}" before Quillpad </dev/null 2>"$tmp/err" || fail "before: status $?: $(cat "$tmp/err")"
[ -s "$tmp/data/BEFORE.WINE" ] || fail "before kept no companion of the prefix"

wine "$tmp/QuillpadSetup.exe" /S
settle
[ -f "$WINEPREFIX/drive_c/Program Files/Quillpad/quillpad.exe" ] || fail "the installer installed nothing"
[ -f "$XDG_DATA_HOME/applications/wine/Programs/Quillpad/Quillpad.desktop" ] || fail "the installer made no menu entry"

"$cli" "${data[@]}" after </dev/null 2>"$tmp/err" || fail "after: status $?: $(cat "$tmp/err")"
[ -s "$tmp/data/AFTER1.WINE" ] || fail "after kept no companion of the prefix"
[ -e "$tmp/data/BEFORE.WINE" ] && fail "BEFORE.WINE outlived its BEFORE file"
"$cli" "${data[@]}" report 1 --json >"$tmp/report.json" 2>"$tmp/err" || fail "report: status $?: $(cat "$tmp/err")"
python3 - "$tmp/report.json" <<'EOF' || fail "the report lacks the registry changes or the desktop entries"
import json, sys
report = json.load(open(sys.argv[1], encoding="utf-8"))
values = {(c.get("key", ""), c.get("value", "")): c for c in report["registry"]}
greeting = values[("Software\\Quillpad\\Settings", "Greeting")]
assert greeting["after"]["data"] == "Grüße, ☃ Ünïcødé", greeting
assert ("Software\\Wow6432Node\\Quillpad", "InstallPath") in values
assert values[("Control Panel\\Desktop", "WheelScrollLines")]["change"] == "value deleted"
assert any(e["path"].endswith("/Quillpad.desktop") for e in report["desktop"]["entries"])
EOF

# The user's later edit, made with Wine itself: a value the installation changed gets a value of the user's.
# Starting Wine also lets its menu builder make the association's files for the new extension.
wine reg add 'HKCU\Control Panel\Desktop' /v Wallpaper /d 'C:\users\sunset.bmp' /f >/dev/null
settle

# A running wineserver owns the registry: the removal refuses and changes nothing.
wineserver -p
before_refusal="$(state_of)"
cp "$WINEPREFIX/user.reg" "$tmp/user.reg.running"
"$cli" "${data[@]}" remove 1 --yes </dev/null >"$tmp/out" 2>"$tmp/err"
status=$?
[ "$status" -eq 1 ] || fail "remove with a running wineserver: status $status, not 1"
grep -q "wineserver -k" "$tmp/err" || fail "remove with a running wineserver does not say how to end it: $(cat "$tmp/err")"
[ "$(state_of)" = "$before_refusal" ] || fail "remove with a running wineserver changed the home folder"
cmp -s "$WINEPREFIX/user.reg" "$tmp/user.reg.running" || fail "remove with a running wineserver changed user.reg"
[ -e "$tmp/data/AFTER1.DAT" ] || fail "remove with a running wineserver deleted the record"
wineserver -k
settle

"$cli" "${data[@]}" remove 1 --yes </dev/null >"$tmp/out" 2>"$tmp/err" ||
  fail "remove: status $?: $(cat "$tmp/err")"
ls "$tmp/data" | grep -E '^AFTER1\.(DAT|WINE)$' && fail "the record or its companion outlived the removal"
leftovers="$(grep -rlai quillpad "$HOME" 2>/dev/null | grep -v '\.QRV$')"
[ -z "$leftovers" ] || fail "the home folder still names the program: $leftovers"
[ -e "$WINEPREFIX/drive_c/Program Files/Quillpad" ] && fail "the program's folder is still there"
ls "$XDG_DATA_HOME"/mime/packages/x-wine-extension-qpd.xml "$XDG_DATA_HOME"/applications/wine-extension-qpd.desktop \
  2>/dev/null && fail "the association's files are still there"

# Wine reads the files it finds: the user's edit is there, and the program is no longer listed.
wallpaper="$(wine reg query 'HKCU\Control Panel\Desktop' /v Wallpaper 2>/dev/null | tr -d '\r')"
grep -q 'C:\\users\\sunset.bmp' <<<"$wallpaper" || fail "the user's edit is lost: $wallpaper"
scroll="$(wine reg query 'HKCU\Control Panel\Desktop' /v WheelScrollLines 2>/dev/null | tr -d '\r')"
grep -q 'WheelScrollLines' <<<"$scroll" || fail "the value the installation deleted did not come back: $scroll"
listed="$(wine uninstaller --list 2>/dev/null | tr -d '\r')"
grep -qi quillpad <<<"$listed" && fail "wine uninstaller still lists the program: $listed"
settle

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "a real installation in a Wine prefix was recorded and removed completely"

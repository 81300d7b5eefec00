#!/usr/bin/env bash
# Makes the Debian package from the build tree with CPack and checks it with lintian: no error, its
# dependencies worked out from the linked shared libraries, and the files of an installation in it.
set -u
build="$1"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log"
  exit 1
}
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
deb="$out/morvane_${version}-1_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") made: $(ls "$out")"

lintian --pedantic "$deb" >"$out/lintian.log" 2>&1
status=$?
cat "$out/lintian.log"
[ "$status" -eq 0 ] || fail "lintian exit status $status"
grep -q '^E:' "$out/lintian.log" && fail "lintian reports errors"

dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "Depends lacks the Qt libraries: $(dpkg-deb -f "$deb" Depends)"
contents="$(dpkg-deb -c "$deb")"
for file in usr/bin/morvane usr/bin/morvane-cli usr/share/man/man1/morvane-cli.1.gz usr/share/morvane/ZELK.TXT usr/share/applications/org.example.morvane.desktop \
  usr/share/man/man1/morvane.1.gz usr/share/doc/morvane/copyright usr/share/doc/morvane/changelog.Debian.gz \
  usr/share/bash-completion/completions/morvane-cli; do
  grep -q " \./$file\$" <<<"$contents" || fail "not in the package: $file"
done

[ "$failures" -eq 0 ] || exit 1
echo "package: all checks passed"

#!/usr/bin/env bash
# A plain build on a machine with the build dependencies alone: in a private mount namespace the programs that
# only tests need, and then GoogleTest, are hidden behind an empty file or folder, and the source tree is
# configured afresh. Configuring must succeed, name what is missing and the tests left out, and define none of
# them; with MORVANE_REQUIRE_TEST_TOOLS=ON it must fail instead. Configured only: building takes minutes.
# Exits with 77 (a skip) where no private mount namespace may be made.
set -u
cmake="$1" ctest="$2" source="$3" generator="$4"

if [ "${MORVANE_IN_PRIVATE_MOUNTS:-}" != 1 ]; then
  # Root makes a mount namespace of its own; anyone else one inside a user namespace, where that is allowed.
  for how in "--mount" "--user --map-root-user --mount"; do
    # shellcheck disable=SC2086
    if unshare $how true 2>/dev/null; then
      export MORVANE_IN_PRIVATE_MOUNTS=1
      exec unshare $how bash "$0" "$@"
    fi
  done
  echo "no permission to make a private mount namespace here"
  exit 77
fi

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
: >"$tmp/empty"
mkdir "$tmp/nothing"

# hide_programs NAME...: every NAME where configuring looks for programs becomes an empty file, which
# find_program passes over since it cannot be run.
hide_programs() {
  local name dir
  for name in "$@"; do
    for dir in ${PATH//:/ } /usr/local/sbin /usr/local/bin /usr/sbin /usr/bin /sbin /bin; do
      if [ -f "$dir/$name" ] && [ -x "$dir/$name" ]; then
        mount --bind "$tmp/empty" "$dir/$name" || fail "cannot hide $dir/$name"
      fi
    done
  done
}

# configure DIR ARGS...: configures the source tree into DIR; its output goes to DIR.log.
configure() {
  local dir="$1"
  shift
  "$cmake" -S "$source" -B "$dir" -G "$generator" "$@" >"$dir.log" 2>&1
}

# tests_in DIR: the names of the tests the build tree DIR defines, one a line.
tests_in() {
  (cd "$1" && "$ctest" -N) | sed -n 's/^ *Test *#[0-9]*: //p'
}

# Each missing program, and the tests it leaves out.
#       program                tests
cases=(
  "desktop-file-validate" "dist_desktop_entry"
  "appstreamcli"          "dist_metainfo"
  "groff"                 "dist_man_page, dist_cli_man_page"
  "lintian"               "dist_package"
  "dpkg-shlibdeps"        "dist_package"
  "file"                  "dist_package"
  "pdftotext"             "ReportFormTest.PrintingIntoAPdfGivesTheLinesBack"
)
programs=()
for ((i = 0; i < ${#cases[@]}; i += 2)); do
  programs+=("${cases[i]}")
done
hide_programs "${programs[@]}"

plain="$tmp/plain"
if configure "$plain"; then
  for ((i = 0; i < ${#cases[@]}; i += 2)); do
    grep -q "^ *${cases[i]} (Debian package [a-z0-9-]*): ${cases[i + 1]}\$" "$plain.log" ||
      fail "the configure note does not name ${cases[i]} with ${cases[i + 1]}"
  done
  grep -q "MORVANE_REQUIRE_TEST_TOOLS=ON" "$plain.log" || fail "the configure note does not name the option"
  defined="$(tests_in "$plain")"
  for test in dist_desktop_entry dist_metainfo dist_man_page dist_cli_man_page dist_package; do
    grep -qx "$test" <<<"$defined" && fail "$test is defined although its tool is missing"
  done
  # What needs none of them stays.
  for test in dist_staged_install app_command_line cli_process; do
    grep -qx "$test" <<<"$defined" || fail "$test is not defined"
  done
  grep -q "MORVANE_PDFTOTEXT" "$plain/compile_commands.json" && fail "the PDF test is built although pdftotext is missing"
else
  fail "configuring without the test tools failed:"
  cat "$plain.log"
fi

if configure "$plain" -DMORVANE_REQUIRE_TEST_TOOLS=ON; then
  fail "configuring with MORVANE_REQUIRE_TEST_TOOLS=ON succeeded without the test tools"
else
  for ((i = 0; i < ${#cases[@]}; i += 2)); do
    grep -q "^ *${cases[i]} (Debian package" "$plain.log" || fail "the configure error does not name ${cases[i]}"
  done
  grep -q "CMake Error" "$plain.log" || fail "configuring failed without saying why: $(cat "$plain.log")"
fi

# Without GoogleTest (its headers and its CMake package hidden) the programs and the fuzz replays remain.
for folder in /usr/include/gtest /usr/local/include/gtest /usr/lib/cmake/GTest /usr/lib/*/cmake/GTest \
  /usr/local/lib/cmake/GTest /usr/local/lib/*/cmake/GTest; do
  if [ -d "$folder" ]; then
    mount --bind "$tmp/nothing" "$folder" || fail "cannot hide $folder"
  fi
done
# The same tree again, with what it found of GoogleTest forgotten: configuring it afresh would only repeat the
# compiler checks.
bare="$plain"
if configure "$bare" -DMORVANE_REQUIRE_TEST_TOOLS=OFF -U "GTest_*" -U "GTEST_*"; then
  grep -q "^ *GoogleTest (Debian package libgtest-dev): every test of tests/" "$bare.log" ||
    fail "the configure note does not name GoogleTest: $(cat "$bare.log")"
  defined="$(tests_in "$bare")"
  grep -qx "fuzz_replay_record_path" <<<"$defined" || fail "the fuzz replays are not defined"
  [ "$(grep -cv "^fuzz_replay_" <<<"$defined")" -eq 0 ] ||
    fail "tests are defined that need GoogleTest: $(grep -v "^fuzz_replay_" <<<"$defined")"
else
  fail "configuring without GoogleTest failed:"
  cat "$bare.log"
fi
configure "$bare" -DMORVANE_REQUIRE_TEST_TOOLS=ON &&
  fail "configuring with MORVANE_REQUIRE_TEST_TOOLS=ON succeeded without GoogleTest"

[ "$failures" -eq 0 ] || exit 1
echo "plain build: all checks passed"

#!/usr/bin/env bash
# Sets up a Debian 12 machine for Morvane, builds it, and either starts it or runs every test.
#   ./build.sh run     build and start Morvane
#   ./build.sh test    build and run every test headless
#   ./build.sh bench   build the benchmarks (Release) and run them
#   ./build.sh package build morvane_VERSION-1_amd64.deb here and check it with lintian
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
what="${1:-run}"

# libqt6svg6 draws the window icon; the tests check the installation with the distribution's tools and make
# the package, for which CPack needs dpkg-shlibdeps (dpkg-dev) and file.
packages=(cmake ninja-build g++ qt6-base-dev libgl-dev libgtest-dev xdg-utils poppler-utils libqt6svg6)
case "$what" in
  # clang-14 with its runtime libraries (libFuzzer, the sanitizers) builds the fuzz targets.
  # wine, wine64 and nsis run a real installer in a real Wine prefix.
  # ccache lets the sanitizer build take the tests' own objects from the first build.
  test) packages+=(desktop-file-utils appstream groff-base dpkg-dev file lintian clang-14 libclang-rt-14-dev wine wine64
    nsis ccache) ;;
  package) packages+=(dpkg-dev file lintian) ;;
esac
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

jobs="$(nproc)"

# run_tests DIR CTEST-ARGUMENTS...: runs ctest in the build folder DIR. ctest counts a test that skipped itself
# (one this machine does not allow to run) as not run and still succeeds; here any such test fails the run,
# so that nothing is left out unseen.
run_tests() {
  local dir="$1"
  shift
  (cd "$dir" && ctest --output-on-failure --output-junit ctest-results.xml "$@")
  if grep -q "<skipped" "$dir/ctest-results.xml"; then
    echo "Tests were skipped in $dir (listed above as not run): every test must run here." >&2
    exit 1
  fi
}

case "$what" in
  run)
    cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_TESTS=OFF -DMORVANE_BENCH=OFF
    cmake --build "$here/build" --target morvane -j "$jobs"
    exec "$here/build/app/morvane"
    ;;
  test)
    # Warnings are errors in CI, not in a user's build (a newer compiler may warn about new things).
    werror=OFF
    [ "${CI:-}" = true ] && werror=ON
    export QT_QPA_PLATFORM=offscreen
    # The tests' own files are built alike in the test build and the sanitizer build (only the programs' code is
    # instrumented): with paths taken relative to each build folder, the second build finds them in the cache.
    export CCACHE_BASEDIR="$here" CCACHE_DIR="$here/.cache/ccache" CCACHE_NOHASHDIR=true
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

    # Every tool the tests use was installed above: a test left out for a missing one is an error here.
    # Lightly optimised, with line tables only (-O1 -g1): the backtraces still name file and line, and the build
    # takes a third less time. The fuzz targets' seeds and regressions are replayed by the fuzzing below, under the
    # sanitizers, rather than in these builds.
    cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_TESTS=ON \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DMORVANE_BENCH=ON -DMORVANE_FUZZ_REPLAY=OFF \
      -DMORVANE_WERROR="$werror" -DMORVANE_REQUIRE_TEST_TOOLS=ON "${launcher[@]}"
    cmake --build "$here/build-test" -j "$jobs"
    # One test more than there are cores: several tests spend much of their time waiting (for Wine, for a child).
    run_tests "$here/build-test" -j "$((jobs + 1))" --timeout 300

    # The engine's and the terminal program's tests again under AddressSanitizer and UndefinedBehaviorSanitizer;
    # any finding fails its test. The benchmarks, the package checks and the tests that click the windows (whose
    # commands the engine's tests cover) are left out of this build, which would otherwise take as long again.
    echo "Sanitizer build (build-sanitize):"
    cmake -S "$here" -B "$here/build-sanitize" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVANE_TESTS=ON \
      -DMORVANE_BENCH=OFF -DMORVANE_DIST_TESTS=OFF -DMORVANE_WINDOW_TESTS=OFF -DMORVANE_FUZZ_REPLAY=OFF \
      -DMORVANE_SANITIZE=ON -DMORVANE_WERROR="$werror" -DMORVANE_REQUIRE_TEST_TOOLS=ON "${launcher[@]}"
    cmake --build "$here/build-sanitize" -j "$jobs"
    # Full stacks for every allocation, so that a leak kept by a system library matches its suppression.
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:fast_unwind_on_malloc=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    export LSAN_OPTIONS="suppressions=$here/tests/support/lsan.supp:print_suppressions=0"
    # The kill loops stop a traced run at many system calls; they test the order of the calls, which the
    # sanitizers do not change, and they ran in full above.
    run_tests "$here/build-sanitize" -j "$((jobs + 1))" --timeout 600 -E '^CrashAtAnyMoment[.]'

    # The fuzz targets, built with clang and libFuzzer, each run for a bounded time from its seeds.
    echo "Fuzzing (build-fuzz):"
    cmake -S "$here/fuzz" -B "$here/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_COMPILER=clang++-14
    cmake --build "$here/build-fuzz" -j "$jobs"
    "$here/fuzz/run.sh" "$here/build-fuzz" "${MORVANE_FUZZ_SECONDS:-10}" "$jobs"
    ;;
  bench)
    cmake -S "$here" -B "$here/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF -DMORVANE_BENCH=ON
    cmake --build "$here/build-bench" -j "$jobs"
    shift
    for b in before after remove scan registry; do
      if [ -x "$here/build-bench/bench/$b/morvane_bench_$b" ]; then
        "$here/build-bench/bench/$b/morvane_bench_$b" "$@"
      fi
    done
    ;;
  package)
    # Built with the distribution's compiler and linker flags (hardening included), as its own packages are.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -S "$here" -B "$here/build-package" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVANE_TESTS=OFF \
      -DMORVANE_BENCH=OFF -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
    cmake --build "$here/build-package" --target morvane morvane-cli morvane_cli_bash_completion -j "$jobs"
    (cd "$here/build-package" && cpack)
    # The version of the project, as CMake read it from project().
    deb="morvane_$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$here/build-package/CMakeCache.txt")-1_amd64.deb"
    cp "$here/build-package/$deb" "$here/"
    echo "lintian:"
    lintian "$here/$deb"
    echo "Made $here/$deb; install it with: sudo apt install ./$deb"
    ;;
  *)
    echo "usage: $0 run|test|bench|package [benchmark arguments]" >&2
    exit 2
    ;;
esac

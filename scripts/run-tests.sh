#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds and runs every test: the normal build (windows included, under a
# virtual X display), the core tests again under
# AddressSanitizer+UndefinedBehaviorSanitizer with the fuzz targets briefly,
# the core and the windows under ThreadSanitizer, the logger for Windows under
# Wine, and the package.
#
# The window tests run on a screen of their own with a real window manager
# (scripts/with-screen.sh), so that focus, raising and Alt+F4 are real.
# Each stage prints its time, and the last lines sum them up.
#
# --quick [DIR]: the everyday path, well under a minute once built: the
# normal build in DIR (default build/) and its core tests (link, simulator,
# meaning, settings, what the windows do, layering).
# --busy: the whole command with one core kept busy beside it by a plain
# loop, as on a machine where something else still runs; use it before a
# change to the window tests lands.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--busy" ]; then
  shift
  ( trap 'exit 0' TERM; while :; do :; done ) &
  busy=$!
  echo "== one core kept busy beside the tests (process $busy)"
  set +e
  bash "$0" "$@"
  rc=$?
  set -e
  kill "$busy" 2>/dev/null || true
  wait "$busy" 2>/dev/null || true
  exit "$rc"
fi

if [ "${1:-}" = "--quick" ]; then
  dir=${2:-build}
  bash scripts/build.sh "$dir"
  # The window tests list themselves on a display even when not chosen.
  if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c "cd '$dir' && QT_QPA_PLATFORM=xcb ctest --output-on-failure -j2 -L core"
  else
    (cd "$dir" && ctest --output-on-failure -j2 -L core)
  fi
  exit 0
fi

# Each stage's time, and how busy the cores were meanwhile (a stage that
# leaves them idle is one to run beside another), printed as it ends and
# summed up at the end.
stage_name=""
stage_start=$SECONDS
run_start=$SECONDS
stage_times=()
cpu_ticks() {  # busy and all ticks of every core since boot
  local _ user nice system idle iowait irq softirq steal
  read -r _ user nice system idle iowait irq softirq steal _ </proc/stat
  echo "$((user + nice + system + irq + softirq + steal)) $((user + nice + system + idle + iowait + irq + softirq + steal))"
}
end_stage() {
  [ -n "$stage_name" ] || return 0
  local took=$((SECONDS - stage_start)) busy all busy0 all0 use
  read -r busy all < <(cpu_ticks)
  read -r busy0 all0 <<<"$stage_ticks"
  use=$(( all > all0 ? 100 * (busy - busy0) / (all - all0) : 0 ))
  echo "-- $stage_name: ${took} s, cores ${use} % busy"
  stage_times+=("$(printf '%5d s %3d %%  %s' "$took" "$use" "$stage_name")")
  stage_name=""
}
stage() {
  end_stage
  stage_name=$1
  stage_start=$SECONDS
  stage_ticks=$(cpu_ticks)
  echo "== $1"
}
summary() {
  end_stage
  echo "== stage times (whole run $((SECONDS - run_start)) s)"
  printf '%s\n' "${stage_times[@]}"
}

run_ctest() {  # build dir, extra ctest args...
  local dir=$1; shift
  (cd "$dir" && ctest --output-on-failure -j2 "$@")
}

tsan_config=(-DM797_SANITIZER=thread -DM797_BENCH=OFF -DM797_WINDOW_CTEST=OFF)
# Every build here is (in CI) a build from nothing: the sources in batches.
export M797_UNITY_BUILD=ON

stage "lint: formatting and a warning-free build"
# Every source file names its licence on its first line (after a shebang).
missing=$(git ls-files '*.cpp' '*.h' '*.py' '*.sh' '*.cmake' '*CMakeLists.txt' '*.1' .ci/run | while read -r f; do
  head -n 2 "$f" | grep -q 'SPDX-License-Identifier: GPL-3.0-or-later' || echo "$f"
done)
[ -z "$missing" ] || { echo "files without the licence line:"; echo "$missing"; exit 1; }
# A missing checker fails the stage: a check that skips itself checks nothing.
for tool in clang-format msgfmt; do
  command -v "$tool" >/dev/null || { echo "lint: $tool is missing (scripts/install-deps.sh installs it)"; exit 1; }
done
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
# The Russian catalogue is a well-formed gettext file whose %s match.
msgfmt --check -o /dev/null po/ru.po

stage "normal build"
bash scripts/build.sh build -DM797_WERROR=ON
# The Windows and thread-sanitizer builds go on at the lowest priority while
# the tests before them run: those mostly wait on timers and the line and
# leave the cores idle, and a niced build does not slow them (checked with
# both cores kept busy at nice 19 in a session of their own).
# In a session of their own, stopped with the script if it fails first; a
# new session is a new scheduling autogroup where the kernel has them, whose
# nice value the priority must be given too (else the two sessions share the
# cores half and half).
setsid -w nice -n 19 bash -c '{ echo 19 >/proc/self/autogroup; } 2>/dev/null
  bash scripts/build-windows.sh --test >build/windows-build.log 2>&1 &&
  bash scripts/build.sh build-tsan "$@" >build/tsan-build.log 2>&1' builds "${tsan_config[@]}" &
background=$!
trap 'kill -- -"$background" 2>/dev/null || true
  [ -z "$stage_name" ] || echo "-- $stage_name: stopped after $((SECONDS - stage_start)) s"' EXIT
stage "normal tests (windows on a screen with a window manager)"
bash scripts/with-screen.sh bash -c 'cd build && QT_QPA_PLATFORM=xcb ctest --output-on-failure -j2'

stage "address and undefined-behaviour sanitizers (the core), and the fuzz targets briefly"
# One clang build serves both: the core's tests and the libFuzzer targets.
CXX=clang++ bash scripts/build.sh build-asan -DM797_SANITIZER=address -DM797_GUI=OFF -DM797_BENCH=OFF -DM797_FUZZ=ON
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest build-asan -L core
fuzz_one() {  # target: FUZZ_SECONDS on its corpus and seeds; output and status beside it
  local f=$1 name seeds=() rc=0
  name=$(basename "$f")
  mkdir -p "build-asan/corpus/$name"
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  "$f" -max_total_time="${FUZZ_SECONDS:-10}" -rss_limit_mb=2048 "build-asan/corpus/$name" "${seeds[@]}" \
    >"build-asan/$name.log" 2>&1 || rc=$?
  echo "$rc" >"build-asan/$name.status"
}
# Each target is single-threaded: as many at once as there are cores.
targets=()
running=()
for f in build-asan/fuzz/fuzz_*; do
  [ -x "$f" ] || continue
  targets+=("$f")
  fuzz_one "$f" &
  running+=($!)
  if [ ${#running[@]} -ge "$(nproc)" ]; then
    wait "${running[0]}"
    running=("${running[@]:1}")
  fi
done
for p in "${running[@]}"; do wait "$p"; done
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets were built"; exit 1; }
for f in "${targets[@]}"; do
  name=$(basename "$f")
  echo "-- $name"
  tail -2 "build-asan/$name.log"
  [ "$(cat "build-asan/$name.status")" = 0 ] || { echo "$name failed: build-asan/$name.log"; exit 1; }
done

stage "waiting for the background builds"
if ! wait "$background"; then
  tail -n 40 build/windows-build.log build/tsan-build.log 2>/dev/null
  echo "the Windows or thread-sanitizer build failed"
  exit 1
fi
stage "thread sanitizer (the core, then the windows and panels; Qt's own threads are not judged)"
bash scripts/build.sh build-tsan "${tsan_config[@]}"
# Waits for what must happen are stretched: this build runs several times slower.
export M797_TEST_SLOWDOWN=4
# Debian 12's default address-space randomisation is more than ThreadSanitizer's
# memory layout allows; run it with randomisation off when it is that kernel.
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" setarch "$(uname -m)" -R \
  bash -c 'cd build-tsan && ctest --output-on-failure -j2 -L core'
rm -f build-tsan/tsan.*  # reports of an earlier run are not judged again
# Reports do not stop the run (the script below judges them); a test that
# starts a program forks, after which ThreadSanitizer would end the whole run
# quietly at the next new thread, so that is allowed; and each program must
# finish every test and say so in its report.
# Each program on a screen of its own; the windows' tests in six parts
# (GoogleTest's shards), two at a time, the next one started as soon as one
# ends: on two cores that takes half the time, and six parts even out the
# long tests (four left one part running alone for a minute and a half).
tsan_windows() {  # program, shard index, shard count
  local t=$1 report="build-tsan/$1-$2.xml"
  rm -f "$report"
  GTEST_SHARD_INDEX=$2 GTEST_TOTAL_SHARDS=$3 \
    TSAN_OPTIONS="halt_on_error=0 exitcode=0 die_after_fork=0 log_path=$PWD/build-tsan/tsan" setarch "$(uname -m)" -R \
    bash scripts/with-screen.sh env QT_QPA_PLATFORM=xcb QT_QPA_PLATFORMTHEME= \
    DBUS_SESSION_BUS_ADDRESS=disabled: "build-tsan/tests/$t" --gtest_filter='-*WideScreen*' --gtest_brief=1 \
    --gtest_output="xml:$report" >"build-tsan/$t-$2.log" 2>&1 || true
  tail -n 3 "build-tsan/$t-$2.log"
}
tsan_windows glpanel_tests 0 1
gui_parts=6
for ((part = 0; part < gui_parts; ++part)); do
  [ "$part" -lt 2 ] || wait -n
  tsan_windows gui_tests "$part" "$gui_parts" &
done
wait
for report in build-tsan/glpanel_tests-0.xml build-tsan/gui_tests-{0..5}.xml; do
  python3 scripts/gtest-finished.py "$report" || { cat "${report%.xml}.log"; exit 1; }
done
cat build-tsan/tsan.* > build-tsan/tsan-all.log 2>/dev/null || true
python3 scripts/tsan-own-races.py build-tsan/tsan-all.log "$PWD"
unset M797_TEST_SLOWDOWN

stage "the Windows builds under Wine (the logger, the core and window logic, the painting on WGL panels, the tester's window, the setup)"
exe=$(bash scripts/build-windows.sh --test | tail -n 1)
# The setup is made and tried in a Wine prefix of its own, beside the tests
# below: they mostly wait on Wine and leave the cores idle (about a third busy).
setup_prefix=$(mktemp -d)
(
  set +e
  export WINEPREFIX=$setup_prefix WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
  wineboot -i >/dev/null 2>&1
  setup=$(bash scripts/make-windows-setup.sh | tail -n 1) && bash scripts/check-windows-setup.sh "$setup"
  rc=$?
  wineserver -k 2>/dev/null
  exit "$rc"
) >build-windows/setup-check.log 2>&1 &
setup_job=$!
# The window under Wine beside the Linux one, shot before "Старт" (nothing
# moves, so the load beside it changes no pixel), in a prefix of its own too.
compare_prefix=$(mktemp -d)
(
  set +e
  export WINEPREFIX=$compare_prefix WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
  wineboot -i >/dev/null 2>&1
  bash scripts/compare-windows-window.sh build-windows/shots
  rc=$?
  wineserver -k 2>/dev/null
  exit "$rc"
) >build-windows/compare.log 2>&1 &
compare_job=$!
trap 'kill -- -"$background" 2>/dev/null || true; kill "$setup_job" "$compare_job" 2>/dev/null || true
  [ -z "$stage_name" ] || echo "-- $stage_name: stopped after $((SECONDS - stage_start)) s"' EXIT
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDLLOVERRIDES="mscoree=;mshtml=" WINEDEBUG=-all
wineboot -i >/dev/null 2>&1
wine build-windows/tests/windows_core_tests.exe --gtest_brief=1
# A Wine server started without a screen keeps its windowless desktop: the
# painting's windows need one started on the virtual screen.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
bash scripts/with-screen.sh wine build-windows/tests/windows_paint_tests.exe --gtest_brief=1
wineserver -k 2>/dev/null || true
# The tester's own window, driven by a program in the same Wine session:
# against its simulated car, then through COM1 to an ECU served here.
bash scripts/with-screen.sh wine build-windows/tests/windows_driver_tests.exe --gtest_brief=1
wineserver -k 2>/dev/null || true
M797_WINDOWS_DRIVER=build-windows/tests/windows_driver_tests.exe bash scripts/with-screen.sh \
  build/tests/link_tests --gtest_filter='WindowsTester.*' --gtest_brief=1
wineserver -k 2>/dev/null || true
M797_WINDOWS_LOG="$exe" build/tests/link_tests --gtest_filter='WindowsLogger.*' --gtest_brief=1
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
unset WINEPREFIX
# The window under Wine has the Linux window's layout.
compare_rc=0
wait "$compare_job" || compare_rc=$?
cat build-windows/compare.log
[ "$compare_rc" = 0 ] || { echo "the comparison of the windows under Wine failed"; exit 1; }
rm -rf "$compare_prefix"
# The setup installs both programs silently and uninstalls cleanly.
if ! wait "$setup_job"; then
  cat build-windows/setup-check.log
  echo "the Windows setup check failed"
  exit 1
fi
tail -n 1 build-windows/setup-check.log
rm -rf "$setup_prefix"

stage "the Debian package"
bash scripts/check-package.sh --from build

summary
echo "all tests passed"

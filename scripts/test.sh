#!/usr/bin/env bash
# Builds and tests everything, then prints a summary; exits non-zero if any step failed.
#
#   1. macos       corvel.xlib (universal: x86-64 and arm64 slices) cross-built with zig + ld64.lld
#                  and joined with llvm-lipo (preset macos), then the native
#                  suite (preset default) run against it: the stand-in host loads the Mach-O
#                  module itself (CORVEL_TEST_MODULE names it to the tests). The suites below also
#                  inspect the file (MacModule tests in tests/exports_test.cpp: signature, install
#                  name, minimum OS, exports) and load it (tests/macos_loader_test.cpp); they get
#                  its path in CORVEL_MACOS_MODULE. Then `corvel-host validate` on the macOS module.
#      arm64       the stand-in host and the suite cross-built for Linux arm64 (preset aarch64) and
#                  run under qemu-user against the arm64 slice of corvel.xlib, then `corvel-host
#                  validate` on it there (strictness 3: every case starts a process under qemu),
#                  meanwhile the suite in one process against the Linux module built for arm64
#   2. native      Linux build (preset default, warnings as errors), the test suite (with the
#                  module loaded and unloaded 100 times under valgrind's memcheck: ModuleMemory),
#                  `corvel-host res check res --strict` on the shipped resource folder, and
#                  `corvel-host validate` on the Linux module with a time budget
#                  (CORVEL_VALIDATE_BUDGET seconds, default 60; reports in build/validate/)
#   3. sanitizers  the same suite built by clang with AddressSanitizer and UBSan (preset asan); only
#                  what the suite runs is built (target corvel_suite)
#   4. windows     corvel.xdl64, corvel-host.exe and the suite cross-built with mingw-w64 (preset
#                  windows); the suite runs under Wine against the Windows module, then
#                  `corvel-host.exe validate` on it under Wine with the same time budget
#   5. packages    the plug-in folders for Windows, macOS and Linux as zip files (the Linux module
#                  stripped), checksums verified, each module as shipped within 64 KiB (for macOS each
#                  slice of the universal file); the help file (typeset by the native build, with the
#                  dialog drawn by corvel-host) is checked in each: fonts embedded, bookmarks, a
#                  contents list, the dialog's picture
#
# On a fresh Debian 12 machine it first installs what is missing (apt-get; zig from the npm
# registry into build/toolchains). Slow things stay in build/: zig itself and its compile cache
# (build/toolchains), and the Wine prefix (build/wineprefix), so a second run is fast.
# CORVEL_JOBS sets the build parallelism (default 2). Steps can be chosen: test.sh native windows.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
cd "$corvel_root"

all_steps=(macos arm64 native sanitizers windows packages)
steps=("$@")
[ ${#steps[@]} -eq 0 ] && steps=("${all_steps[@]}")
for step in "${steps[@]}"; do
  case " ${all_steps[*]} " in *" $step "*) ;; *) corvel_die "unknown step '$step' (steps: ${all_steps[*]})" ;; esac
done
wants() { case " ${steps[*]} " in *" $1 "*) return 0 ;; esac; return 1; }

export WINEPREFIX="$corvel_root/build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export CTEST_OUTPUT_ON_FAILURE=1
wineserver_started=""
stop_wineserver() { [ -n "$wineserver_started" ] && wineserver -k >/dev/null 2>&1; wineserver_started=""; }
trap stop_wineserver EXIT

results=()
failures=0
started_all=$SECONDS

# Set-up that waits on the network or on Wine rather than on the processor (zig's download, the Wine
# prefix's first boot) runs in the background while the first trees compile; a step that needs it
# waits for it then. Its output goes to build/setup-NAME.log, shown if it fails.
declare -A background_pids=()
in_background() { # NAME COMMAND...
  local name="$1"
  shift
  mkdir -p build
  ( "$@" ) >"build/setup-$name.log" 2>&1 </dev/null &
  background_pids[$name]=$!
}
wait_for_background() { # NAME
  local pid="${background_pids[$1]:-}"
  [ -n "$pid" ] || return 0
  unset "background_pids[$1]"
  if ! wait "$pid"; then
    cat "build/setup-$1.log"
    echo "setting up $1 failed (log: build/setup-$1.log)"
    return 1
  fi
  cat "build/setup-$1.log"
}

# run_step NAME FUNCTION: runs the step, records pass/fail and its wall time.
run_step() {
  local name="$1" fn="$2" start=$SECONDS
  corvel_log "[$name] starting"
  if "$fn"; then
    results+=("$(printf '%-11s passed  %4ds' "$name" $((SECONDS - start)))")
  else
    results+=("$(printf '%-11s FAILED  %4ds' "$name" $((SECONDS - start)))")
    failures=$((failures + 1))
  fi
}

build_preset() { # PRESET [TARGET...]
  local preset="$1"
  shift
  cmake --preset "$preset" >/dev/null || { echo "configure ($preset) failed; rerun: cmake --preset $preset"; return 1; }
  cmake --build --preset "$preset" -j "$corvel_jobs" ${1:+--target "$@"}
}

# run_ctest PRESET: runs a suite and adds its counts to the totals of the closing line.
tests_passed=0
tests_failed=0
run_ctest() {
  local log status counts
  log="$(mktemp)"
  ctest --preset "$1" -j "$corvel_jobs" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  counts="$(sed -n 's/.* \([0-9][0-9]*\) tests failed out of \([0-9][0-9]*\).*/\1 \2/p' "$log" | tail -n 1)"
  rm -f "$log"
  if [ -n "$counts" ]; then
    set -- $counts
    tests_failed=$((tests_failed + $1))
    tests_passed=$((tests_passed + $2 - $1))
  fi
  return "$status"
}

# run_validate LABEL COMMAND...: runs `corvel-host validate` (COMMAND is the host program, with
# wine-exec.sh in front under Wine) on a module with a bounded time budget, keeps its reports in
# build/validate/LABEL.{json,xml} and adds its figures to the closing summary.
validate_budget="${CORVEL_VALIDATE_BUDGET:-60}"
validate_figures=()
run_validate() {
  local label="$1" status figures
  shift
  mkdir -p build/validate
  "$@" --budget "$validate_budget" --allow-skips --quiet --json "build/validate/$label.json" --junit "build/validate/$label.xml" \
    | sed 's/^/  /'
  status=${PIPESTATUS[0]}
  figures="$(python3 -c 'import json,sys; f=json.load(open(sys.argv[1]))["figures"]; print("%d scenarios, %d faults injected, %d lifecycle orders, %d scenes rendered, %d cases (%d skipped for the budget), %.1f s" % (f["scenarios"], f["faults_injected"], f["lifecycle_orders"], f["scenes_rendered"], f["cases"], f["skipped"], f["seconds"]))' "build/validate/$label.json" 2>/dev/null || echo "no report")"
  validate_figures+=("$(printf '%-8s %s' "$label" "$figures")")
  return "$status"
}

# The shipped resource folder must read without a single finding, as the host will read it.
step_native() {
  build_preset default && run_ctest default && build/default/hostsim/corvel-host res check res --strict || return 1
  run_validate linux build/default/hostsim/corvel-host validate build/default/corvel.xso64 --strictness 5
}

# Only what the suite runs is built here (corvel_suite: the tests, the module, the host and the
# fuzz replays); the native step already built everything else once.
step_sanitizers() {
  build_preset asan corvel_suite && run_ctest asan
}

create_wine_prefix() {
  corvel_log "Creating the Wine prefix build/wineprefix (once)"
  mkdir -p "$WINEPREFIX"
  wine wineboot -i </dev/null >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot made no prefix at $WINEPREFIX"; return 1; }
}

# Wine's background processes would hold ctest's output pipe open and make every test wait; a
# persistent wineserver started up front, detached from the pipes, avoids that.
start_wineserver() {
  [ -n "$wineserver_started" ] && return 0
  wait_for_background wineprefix || return 1
  [ -f "$WINEPREFIX/system.reg" ] || create_wine_prefix || return 1
  # A server that is still running (from wineboot or an earlier run) is not persistent: it would
  # quit a few seconds after its last client, in the middle of the tests. Replace it.
  wineserver -k </dev/null >/dev/null 2>&1
  wineserver -w </dev/null >/dev/null 2>&1
  wineserver -p </dev/null >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1
  wineserver_started=1
}

step_windows() {
  start_wineserver || return 1
  build_preset windows corvel_suite && run_ctest windows || return 1
  # Every case runs in a Windows child process of the validator, all inside one Wine session.
  # Starting a process under Wine costs about a third of a second, so a lower strictness fits
  # the budget.
  run_validate windows scripts/wine-exec.sh build/windows/hostsim/corvel-host.exe validate \
    "Z:$corvel_root/build/windows/corvel.xdl64" --strictness 3
}

# The suites inspect the macOS module when it was built in this run (never a stale one). The same
# suite as the native step then runs against it, format-specific file checks aside.
step_macos() {
  unset CORVEL_MACOS_MODULE
  build_preset default || return 1
  wait_for_background zig || return 1
  build_preset macos || return 1
  export CORVEL_MACOS_MODULE="$corvel_root/build/macos/corvel.xlib"
  echo "build/macos/corvel.xlib built; the suites below inspect and load it"
  local status
  export CORVEL_TEST_MODULE="$CORVEL_MACOS_MODULE"
  run_ctest default
  status=$?
  unset CORVEL_TEST_MODULE
  run_validate macos build/default/hostsim/corvel-host validate "$CORVEL_MACOS_MODULE" --strictness 5 || status=1
  return "$status"
}

# The same suite and validation on arm64: the host built for Linux arm64 runs the universal module's
# arm64 slice under qemu-user (the suite's own child processes go through CORVEL_EMULATOR). While
# the validator runs (one child process at a time), the suite also runs once more in one process
# against the Linux module built for arm64: the module's code on a second processor under Linux's
# own calling convention.
step_arm64() {
  wait_for_background zig || return 1
  build_preset macos || return 1
  export CORVEL_MACOS_MODULE="$corvel_root/build/macos/corvel.xlib"
  build_preset aarch64 || return 1
  local status shard native_log_dir native_count=0 count
  export CORVEL_TEST_MODULE="$CORVEL_MACOS_MODULE"
  run_ctest aarch64
  status=$?
  unset CORVEL_TEST_MODULE
  export CORVEL_EMULATOR=/usr/bin/qemu-aarch64-static QEMU_LD_PREFIX=/usr/aarch64-linux-gnu
  # The one-process suite in four parts (GoogleTest's shards), run in two lanes beside the
  # validator, so both processors have work until the end.
  local shards=4 lane lane_pids=()
  native_log_dir="$(mktemp -d)"
  for lane in 0 1; do
    (
      for ((shard = lane; shard < shards; shard += 2)); do
        GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$shard \
          "$CORVEL_EMULATOR" build/aarch64/tests/corvel_tests >"$native_log_dir/$shard.log" 2>&1
        echo $? >"$native_log_dir/$shard.rc"
      done
    ) &
    lane_pids[$lane]=$!
  done
  run_validate arm64 "$CORVEL_EMULATOR" build/aarch64/hostsim/corvel-host validate "$CORVEL_MACOS_MODULE" \
    --strictness 3 || status=1
  wait "${lane_pids[0]}"
  wait "${lane_pids[1]}"
  for ((shard = 0; shard < shards; shard++)); do
    count="$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$native_log_dir/$shard.log")"
    if [ "$(cat "$native_log_dir/$shard.rc" 2>/dev/null)" = 0 ] && [ -n "$count" ]; then
      native_count=$((native_count + ${count:-0}))
    else
      cat "$native_log_dir/$shard.log"
      echo "the suite in one process against build/aarch64/corvel.xso64 (part $((shard + 1)) of $shards) FAILED"
      tests_failed=$((tests_failed + 1))
      status=1
    fi
  done
  rm -rf "$native_log_dir"
  echo "the suite in one process (four parts) against build/aarch64/corvel.xso64: $native_count tests passed"
  tests_passed=$((tests_passed + native_count))
  unset CORVEL_EMULATOR QEMU_LD_PREFIX
  return "$status"
}

# Each archive must hold exactly the plug-in folder: the module, every file of res/, the help file.
check_archive() { # ARCHIVE MODULE_NAME
  local expected actual
  expected="$( (echo "corvel/$2"; echo "corvel/Corvel.pdf"
                (cd "$corvel_root" && find res -type f) | sed 's|^|corvel/|') | sort)"
  actual="$(cmake -E tar tf "$1" | grep -v '/$' | sort)"
  if [ "$expected" != "$actual" ]; then
    echo "$1 does not hold the plug-in folder:"
    diff <(echo "$expected") <(echo "$actual")
    return 1
  fi
  echo "$1: corvel/ with $2, res/ and Corvel.pdf"
}

# The help file in an archive: every font embedded, a bookmark per section, the contents list on
# its own page, links, and the dialog's picture.
check_manual() { # ARCHIVE
  local dir pdf ok=0 fonts outline
  dir="$(mktemp -d)"
  (cd "$dir" && cmake -E tar xf "$1" corvel/Corvel.pdf) || { echo "$1: no corvel/Corvel.pdf"; rm -rf "$dir"; return 1; }
  pdf="$dir/corvel/Corvel.pdf"
  fonts="$(pdffonts "$pdf" | tail -n +3)"
  if [ -z "$fonts" ] || echo "$fonts" | awk '{ if ($(NF-4) != "yes") bad = 1 } END { exit !bad }'; then
    echo "$1: Corvel.pdf has fonts that are not embedded:"; pdffonts "$pdf"; ok=1
  fi
  outline="$(pdftohtml -xml -i -stdout "$pdf" 2>/dev/null | grep -c '<item page=')"
  [ "$outline" -ge 8 ] || { echo "$1: Corvel.pdf has $outline bookmarks (expected one per section)"; ok=1; }
  pdftotext -f 2 -l 2 -layout "$pdf" - | grep -q 'Contents' || { echo "$1: Corvel.pdf has no contents list"; ok=1; }
  pdftotext -f 2 -l 2 -layout "$pdf" - | grep -Eq 'First start on macOS[ .]+[0-9]+' \
    || { echo "$1: the contents list has no page numbers"; ok=1; }
  grep -aq '/Subtype /Link' "$pdf" || { echo "$1: Corvel.pdf has no links"; ok=1; }
  [ "$(pdfimages -list "$pdf" | awk 'NR > 2 && $3 == "image"' | wc -l)" -ge 1 ] \
    || { echo "$1: Corvel.pdf has no picture of the dialog"; ok=1; }
  [ $ok -eq 0 ] && echo "$1: Corvel.pdf with $(echo "$fonts" | wc -l) embedded fonts, $outline bookmarks, contents, links and the dialog's picture"
  rm -rf "$dir"
  return $ok
}

# Every module as it ships (the file in the archive) stays within 64 KiB.
check_shipped_size() { # MODULE...
  local module size ok=0
  for module in "$@"; do
    size=$(stat -c %s "$module" 2>/dev/null) || { echo "$module is missing"; ok=1; continue; }
    if [ "$size" -gt 65536 ]; then echo "$module: $size bytes, more than 64 KiB"; ok=1; else echo "$module: $size bytes"; fi
  done
  return $ok
}

step_packages() {
  local preset ok=0 sum
  # The native build typesets the help file that every package carries.
  build_preset default corvel_manual || return 1
  wait_for_background zig || return 1
  for preset in windows macos default; do
    build_preset "$preset" package || ok=1
  done
  for sum in build/windows/package/*.zip.sha256 build/macos/package/*.zip.sha256 build/default/package/*.zip.sha256; do
    [ -f "$sum" ] || { echo "missing checksum file for $sum"; ok=1; continue; }
    (cd "$(dirname "$sum")" && sha256sum -c "$(basename "$sum")") || ok=1
  done
  # The newest archive of each platform is this run's (an older version's may lie beside it).
  check_archive "$(ls -t build/windows/package/corvel-*-windows-x64.zip | head -n 1)" corvel.xdl64 || ok=1
  check_archive "$(ls -t build/macos/package/corvel-*-macos-universal.zip | head -n 1)" corvel.xlib || ok=1
  check_manual "$corvel_root/$(ls -t build/windows/package/corvel-*-windows-x64.zip | head -n 1)" || ok=1
  check_manual "$corvel_root/$(ls -t build/macos/package/corvel-*-macos-universal.zip | head -n 1)" || ok=1
  check_manual "$corvel_root/$(ls -t build/default/package/corvel-*-linux-x86_64.zip | head -n 1)" || ok=1
  check_archive "$(ls -t build/default/package/corvel-*-linux-x86_64.zip | head -n 1)" corvel.xso64 || ok=1
  check_shipped_size build/windows/shipped/corvel.xdl64 build/macos/slices/x86_64/corvel.xlib \
    build/macos/slices/arm64/corvel.xlib build/default/shipped/corvel.xso64 || ok=1
  return $ok
}

corvel_log "Checking tools"
corvel_need_native_tools
if wants windows || wants macos || wants arm64 || wants packages; then
  corvel_need_cross_packages
  if wants macos || wants arm64 || wants packages; then
    corvel_zig_missing && in_background zig corvel_need_zig
  fi
fi
if wants arm64; then corvel_need_arm64_tools; fi
if wants sanitizers; then corvel_need_sanitizer_tools; fi
if wants windows && [ ! -f "$WINEPREFIX/system.reg" ]; then in_background wineprefix create_wine_prefix; fi

unset CORVEL_MACOS_MODULE CORVEL_TEST_MODULE
wants macos && run_step macos step_macos
wants arm64 && run_step arm64 step_arm64
wants native && run_step native step_native
wants sanitizers && run_step sanitizers step_sanitizers
wants windows && run_step windows step_windows
wants packages && run_step packages step_packages
stop_wineserver

corvel_log "Summary ($((SECONDS - started_all))s)"
printf '  %s\n' "${results[@]}"
modules=()
for module in build/default/corvel.xso64 build/windows/corvel.xdl64 build/macos/corvel.xlib; do
  [ -f "$module" ] && modules+=("$module")
done
inspect=build/default/hostsim/corvel-inspect
if [ ${#modules[@]} -gt 0 ] && [ -x "$inspect" ]; then
  corvel_log "Modules"
  "$inspect" "${modules[@]}" | sed 's/^/  /'
fi
for archive in build/windows/package/*.zip build/macos/package/*.zip build/default/package/*.zip; do
  [ -f "$archive" ] && printf '  %s\n' "$archive"
done
if [ ${#validate_figures[@]} -gt 0 ]; then
  corvel_log "corvel-host validate (budget ${validate_budget}s each; reports in build/validate/)"
  printf '  %s\n' "${validate_figures[@]}"
fi
echo "steps: $(( ${#results[@]} - failures )) passed, $failures failed"
echo "tests: $tests_passed passed, $tests_failed failed"
[ "$failures" -eq 0 ]

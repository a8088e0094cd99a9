#!/usr/bin/env bash
# Installs what is needed, builds Sonvale with its tests and runs them all, three ways:
#   1. the build as it ships (build/): every test, the fault suite, and one rip of each
#      format under valgrind's memcheck (ctest label valgrind);
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
#      (build-asan/), valgrind's runs left out;
#   3. the rip, batch, device-monitor and listing tests built with ThreadSanitizer
#      (build-tsan/): the rip loop, the listings and the trays run beside the window's
#      thread, notices come from the thread that moved a tray, and nothing they share may go
#      unordered;
#   4. the libFuzzer targets (build-fuzz/, clang), each for a bounded time from its seed
#      corpus under tests/fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen
# The databases the program looks discs up in are asked on 127.0.0.1, where nothing answers
# unless a test starts a server: no test reaches the real hosts.
export SONVALE_ACCURATERIP_URL=http://127.0.0.1:9/accuraterip
export SONVALE_MUSICBRAINZ_URL=http://127.0.0.1:9
export SONVALE_COVERART_URL=http://127.0.0.1:9

# Every target, warnings as errors; run.sh may have left this folder configured for the
# program alone, so the options are all given. The code is the shipped build's (-O2); its
# debug information is line tables only, which still name file and line in every report
# (valgrind's too) and take a quarter less time to compile.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONVALE_WERROR=ON \
    -DSONVALE_TESTS=ON -DSONVALE_BENCH=ON -DSONVALE_SCREENSHOT=ON \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG"
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --timeout 600 -j"$jobs" | tee build/ctest.log

# The benchmarks are not tests; the sanitizer build leaves them out. The checked builds are
# made at -O1 with line tables only: their reports still name file and line, and they build
# in well under half the time the shipped flags take, which is most of this script's time.
checked_flags=(-DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG")
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONVALE_SANITIZE=ON \
    -DSONVALE_WERROR=ON -DSONVALE_BENCH=OFF "${checked_flags[@]}"
cmake --build build-asan -j"$jobs"
# Leaks of third-party libraries only: libcue's, which tests/drives/libcue-leak.supp names
# and explains (tests that name it themselves get it through ctest as well).
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS="suppressions=$PWD/tests/drives/libcue-leak.supp:print_suppressions=0" \
    ctest --test-dir build-asan --output-on-failure --timeout 600 -j"$jobs" -LE valgrind |
    tee build-asan/ctest.log

# Only these targets are built here; they run as they are, and any report fails the run.
# Without address-space randomisation: newer kernels randomise more bits than the checker's
# memory layout allows.
# The rip and batch tests, the device monitor's (its notices come from the thread that moved
# a tray) and the listed disc's drive thread (listings, an overtaken one, the tray): all of
# them cross to the window's thread through the same call queue.
tsan_targets=(rip_tests rip_e2e_tests encode_rip_e2e_tests devmon_tests listing_tests)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSONVALE_TSAN=ON \
    -DSONVALE_WERROR=ON -DSONVALE_BENCH=OFF -DSONVALE_SCREENSHOT=OFF "${checked_flags[@]}"
cmake --build build-tsan -j"$jobs" --target "${tsan_targets[@]}"
: > build-tsan/gtest.log
# The database lookups are left out (db_tests is not among them, and the batch's life asks
# the AccurateRip database): Qt Network does its work on a thread of its own, whose
# hand-overs the checker cannot see; the program's own threads are not in them.
for target in "${tsan_targets[@]}"; do
    TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1" \
        setarch "$(uname -m)" -R "build-tsan/bin/$target" --gtest_filter=-BatchLifeTest.* |
        tee -a build-tsan/gtest.log
done

CC=clang-14 CXX=clang++-14 cmake -S tests/fuzz -B build-fuzz -G Ninja -DSONVALE_WERROR=ON
cmake --build build-fuzz -j"$jobs"
for target in fuzz_readdiscinfo fuzz_readpcmchunk fuzz_wavheader fuzz_cuesheet fuzz_settings \
    fuzz_accuraterip fuzz_musicbrainz fuzz_driveoffsets; do
    # Sheets and settings files are a few hundred bytes; longer inputs only slow the search,
    # and their words (tests/fuzz/<target>.dict) are hard to come by through mutation.
    # The sheets go through libcue, whose leaks the same suppression as above covers. The
    # database answers' JSON keys and escapes come from tests/fuzz/fuzz_musicbrainz.dict.
    extra=()
    case "$target" in
        fuzz_cuesheet | fuzz_settings) extra=(-max_len=4096 "-dict=tests/fuzz/$target.dict") ;;
        fuzz_musicbrainz) extra=("-dict=tests/fuzz/$target.dict") ;;
    esac
    # New inputs go to the build folder; the committed seeds are only read.
    mkdir -p "build-fuzz/corpus/$target"
    LSAN_OPTIONS="suppressions=$PWD/tests/drives/libcue-leak.supp:print_suppressions=0" \
        "build-fuzz/$target" -max_total_time=15 -timeout=10 -print_final_stats=1 "${extra[@]}" \
        "build-fuzz/corpus/$target" "tests/fuzz/corpus/$target"
done

# One closing line for both test runs (a failure has stopped the script before this). Tests
# that skip themselves show in ctest's summary as passed but are listed again under "did not
# run" as "(Skipped)"; they are counted apart here, so a passed test is one that ran.
passed=0 failed=0 skipped=0
for log in build/ctest.log build-asan/ctest.log; do
    summary=$(sed -n -E 's/^[0-9]+% tests passed, ([0-9]+) tests? failed out of ([0-9]+)$/\1 \2/p' "$log" | tail -n 1)
    [ -n "$summary" ] || { echo "no ctest summary in $log" >&2; exit 1; }
    read -r f n <<< "$summary"
    # The list ends at a blank line; disabled tests ("(Disabled)") are in it too, but ctest
    # leaves them out of its summary already.
    s=$(awk '/^The following tests did not run:/ { listed = 1; next }
             listed && /^[[:space:]]*$/ { listed = 0 }
             listed && /^[[:space:]]+[0-9]+ - .*\(Skipped\)[[:space:]]*$/ { n++ }
             END { print n + 0 }' "$log")
    passed=$((passed + n - f - s))
    failed=$((failed + f))
    skipped=$((skipped + s))
done
# The ThreadSanitizer run stopped the script at its first failure; what it passed counts too.
tsan=$(awk '/^\[  PASSED  \] [0-9]+ tests?\.$/ { n += $4 } END { print n + 0 }' build-tsan/gtest.log)
passed=$((passed + tsan))
echo "Total: $passed passed, $failed failed, $skipped skipped"

#!/usr/bin/env bash
# Fuzzes the engine for a minute: arbitrary bytes through the decoder and the reading output
# with a live session file, every invariant checked after every byte (fuzz/DecoderFuzz.cpp);
# then the settings file's parser for a shorter while (fuzz/SettingsTextFuzz.cpp).
# Usage: fuzz.sh [MAIN_BUILD_DIR]   (the fuzz build goes beside it, in .../fuzz)
# Environment: RHEO_FUZZ_SECONDS (default 60), RHEO_FUZZ_SETTINGS_SECONDS (default 20),
# RHEO_FUZZ_BUILD_DIR.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

compiler="$(command -v clang++ || true)"
if [ -z "$compiler" ]; then
    echo "fuzz: clang++ not found, fuzzing skipped"
    exit 0
fi

if [ $# -ge 1 ]; then
    default_build="$(dirname "$1")/fuzz"
else
    default_build="$here/build/fuzz"
fi
build="$(realpath -m "${RHEO_FUZZ_BUILD_DIR:-$default_build}")"
seconds="${RHEO_FUZZ_SECONDS:-60}"
settings_seconds="${RHEO_FUZZ_SETTINGS_SECONDS:-20}"

# Session file and event log in memory when possible: the live writer flushes every row.
base="${TMPDIR:-/tmp}"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    base=/dev/shm
fi
work="$(mktemp -d "$base/rheo-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# Only the fuzz target (and the core under it) is built, with clang, beside the main build.
if ! { cmake -S "$here" --preset fuzz -B "$build" -DCMAKE_CXX_COMPILER="$compiler" &&
    cmake --build "$build" --target rheo_decoder_fuzz rheo_settings_fuzz -j 2; } >"$work/build.txt" 2>&1; then
    tail -n 40 "$work/build.txt"
    echo "fuzz: FAILED to build the fuzz target in $build"
    exit 1
fi
mkdir "$work/corpus" "$work/tmp" "$work/findings" "$work/settings"

# Starting inputs: a configuration byte, then well-formed messages as the instrument prints
# them, with each error word and each unit.
message() {  # hour spindle rpm temperature viscosity-unit viscosity torque
    printf '%s   sp: %s    rpm: %s   T: %s\r%s: %s\r %%: %s\r' "$@"
}
{ printf '\x00'; message 14:05:33 LCP 100 27.5C cP 00001250 10.2; } >"$work/corpus/plain"
{ printf '\x05'; message 14:05:33 LCP 100 27.5C cP 00001250 10.2; } >"$work/corpus/comma"
{ printf '\x02'; message 09:00:01 S18 0.3 Lw cP 00000512 5.0
  message 09:00:03 S18 0.3 Hih mPas "Out of Range" --; } >"$work/corpus/errors"
{ printf '\x13'; message 23:59:59 S31 2.5 --- cP 00012.50 100
  message 00:00:01 S31 2.5 98.6F mPas 00000042 0.5; } >"$work/corpus/nosession"
{ printf '\x2b'; printf 'noise\n\xba7: 12 5:'
  message 11:11:11 LV2 20 25C cP 00001000 10.25
  message 11:11:13 LV2 20 "27.5\xbaC" cP 00001000 10.2; } >"$work/corpus/broken"
{ printf '\x08'
  for i in $(seq 10 31); do message "10:00:$i" CP52 50 "$i.5C" cP "000012$i" "$i.1"; done
} >"$work/corpus/wrap"
# Longer than RawText keeps: a message after a line of noise, and an error word inside a
# temperature field padded with blanks.
{ printf '\x00'; head -c 6000 /dev/zero | tr '\0' 'x'
  message 12:00:00 LCP 100 27.5C cP 00001250 10.2; } >"$work/corpus/long-noise"
{ printf '\x01'; printf '12:00:02   sp: LCP    rpm: 100   T: '; head -c 5000 /dev/zero | tr '\0' ' '
  printf 'Lw\rcP: Out of Range\r %%: --\r'; } >"$work/corpus/long-field"

# The settings file as written by hand and by the program (first byte: the value to set).
printf '\x00[Software\\Kavrel\\Quelmar]\r\n"Port1"="/dev/ttyUSB0"\r\n"Puerto"=dword:00000003\r\n' \
    >"$work/settings/crlf"
printf '\x03; bench\n[software\\kavrel\\quelmar]\n"PUERTO" = "2"\n"a\\x01\\"b"=dword:1\nnot a value\n' \
    >"$work/settings/lf"

# run TARGET SECONDS CORPUS [OPTION...]: fuzzes one target; a finding fails the script.
run() {
    local target="$1" time="$2" corpus="$3"
    shift 3
    echo "fuzz: $target for ${time}s"
    local status=0
    (
        cd "$work/findings"
        TMPDIR="$work/tmp" \
            UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
            ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
            "$build/fuzz/$target" -max_total_time="$time" -rss_limit_mb=2048 \
            -print_final_stats=1 "$@" "$corpus"
    ) >"$work/output.txt" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$work/output.txt"
        keep="$build/findings"
        mkdir -p "$keep"
        cp "$work/findings"/* "$keep"/ 2>/dev/null || true
        echo "fuzz: $target FAILED (exit $status); the failing input is kept in $keep"
        exit 1
    fi
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$work/output.txt" || true
}

run rheo_decoder_fuzz "$seconds" "$work/corpus" -max_len=16384
run rheo_settings_fuzz "$settings_seconds" "$work/settings" -max_len=4096
echo "fuzz: passed"

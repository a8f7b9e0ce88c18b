#!/usr/bin/env bash
# replay-golden.sh REPLAY DATA OUT: plays DATA/capture.bin through rheotrack-replay with the
# default configuration and with vcfg-semicolon.txt, and compares the session files and event
# logs byte for byte with those kept beside the capture. The capture holds twelve simulator
# messages (error words included), line noise, a "º" that ends a temperature, messages the
# decoder drops (short temperature, five-character torque, a speed ended by a carriage return)
# and a message cut off at the end. Remake the expected files only for a deliberate change of
# output: run this script with OUT=DATA.
set -euo pipefail
replay=$1 data=$2 out=$3
mkdir -p "$out"
fixed=(--date 07/12/2026 --time 11:00:00)
"$replay" "${fixed[@]}" --output "$out/capture.csv" --log "$out/capture-vlog.txt.new" \
    "$data/capture.bin"
"$replay" "${fixed[@]}" --config "$data/vcfg-semicolon.txt" \
    --output "$out/capture-semicolon.txt" --log "$out/capture-semicolon-vlog.txt.new" \
    "$data/capture.bin"
# The log is appended to: start from the new one each time.
mv "$out/capture-vlog.txt.new" "$out/capture-vlog.txt"
mv "$out/capture-semicolon-vlog.txt.new" "$out/capture-semicolon-vlog.txt"
status=0
for file in capture.csv capture-vlog.txt capture-semicolon.txt capture-semicolon-vlog.txt; do
    cmp "$data/$file" "$out/$file" || status=1
done
exit "$status"

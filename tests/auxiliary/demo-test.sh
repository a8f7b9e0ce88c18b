#!/usr/bin/env bash
# scripts/demo on a virtual display of its own for a few seconds: the program opens the stored
# port at start-up and decodes what the simulated instrument sends (the event-log lines that the
# instrument's error words cause show it), a picture of the screen is kept as an artefact, and
# nothing the demonstration started is left behind.
# Usage: demo-test.sh SOURCE_DIR BUILD_DIR PICTURE
set -euo pipefail
log="$2/src/vlog.txt"
runtime=$(mktemp -d) # an instance lock of its own: other copies may run meanwhile
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$runtime/display" 2>/dev/null &
trap "kill $!; rm -rf '$runtime'" EXIT
fail() { echo "FAIL: $*" >&2; cat "$runtime/out" >&2; exit 1; }
before=$(wc -l <"$log" 2>/dev/null || echo 0)
rm -f "$3"
until grep -q . "$runtime/display"; do sleep 0.1; done
DISPLAY=":$(cat "$runtime/display")" XDG_RUNTIME_DIR="$runtime" RHEO_DEMO_BUILD_DIR="$2" \
    "$1/scripts/demo" --seconds 10 --interval 200 --screenshot "$3" >"$runtime/out" 2>&1 ||
    fail "scripts/demo ended with status $?"
work=$(sed -n 's|^demo: port 1 is \(.*\)/port1;.*|\1|p' "$runtime/out")
[ -n "$work" ] || fail "the demo did not say where its port is"
# Readings every 200 ms for about 6 s after the splash: an error word in every sixth message.
new=$(tail -n +$((before + 1)) "$log" 2>/dev/null || true)
[ "$(grep -c . <<<"$new")" -ge 3 ] || fail "too few readings: $new"
grep -q "Temperature underflow::" <<<"$new" || fail "no temperature underflow logged"
[ -s "$3" ] || fail "no picture of the screen"
[ ! -e "$work" ] || fail "$work was left behind"
! pgrep -af -- "$work" || fail "processes of the demo still run"
echo "demo ran; picture in $3"

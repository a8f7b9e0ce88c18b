#!/usr/bin/env bash
# The long run against an optimised build: 20,000 messages pushed through a pseudo-terminal into
# an open session file, every one a row in order, and the program's resident memory at the end
# within 10 % of its size after the first 1,000 (tests/e2e, scene long_run). Under the sanitizers
# of the main build freed memory waits in quarantine, so resident memory only grows there; the
# main build runs a shorter stream and checks the rows only.
# Usage: longrun.sh [MAIN_BUILD_DIR]   (the optimised build goes beside it, in .../release)
# Environment: RHEO_RELEASE_BUILD_DIR.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

source "$here/scripts/lib.sh"
build="$(release_build "${1:-}")"

status=0
ctest --test-dir "$build" -L longrun --output-on-failure --no-tests=error || status=1
figures="$build/tests/e2e/artefacts/long_run/figures.json"
if [ -f "$figures" ]; then
    python3 -c 'import json, sys
for key, value in json.load(open(sys.argv[1])).items():
    if key != "samples":
        print("  %s: %s" % (key, value))' "$figures" || true
fi
exit "$status"

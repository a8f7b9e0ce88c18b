#!/usr/bin/env bash
# Builds the Debian package from an optimised build, checks its contents (and lintian), installs
# it on this machine, starts the installed program as an operator in the dialout group, checks
# the logger service and runs two of its instances, and purges it again
# (tests/package/package_test.sh). The main build has the sanitizers in it, which a package must
# not carry, hence a build of its own.
# Usage: package.sh [MAIN_BUILD_DIR]   (the optimised build goes beside it, in .../release)
# Environment: RHEO_RELEASE_BUILD_DIR.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

if [ "$(id -u)" -ne 0 ]; then
    echo "package: installing a package needs root, package test skipped"
    exit 0
fi

source "$here/scripts/lib.sh"
# lintian checks the package; systemd-analyze (in systemd) checks the logger service's unit.
why="$(try_packages lintian systemd)" || echo "package: $why"
build="$(release_build "${1:-}")"

status=0
ctest --test-dir "$build" -L package --output-on-failure --no-tests=error || status=$?
# What the test left out, and why (tests/package/package_test.sh writes it).
skipped="$build/tests/package/artefacts/skipped.txt"
[ ! -s "$skipped" ] || sed 's/^/package: skipped: /' "$skipped"
exit "$status"

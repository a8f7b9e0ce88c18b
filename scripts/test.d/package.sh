#!/usr/bin/env bash
# Builds the Debian package from an optimised build, checks its contents, installs it on this
# machine, starts the installed program as an operator in the dialout group, and purges it again
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

if [ $# -ge 1 ]; then
    default_build="$(dirname "$1")/release"
else
    default_build="$here/build/release"
fi
build="$(realpath -m "${RHEO_RELEASE_BUILD_DIR:-$default_build}")"

# -Werror stays off here: GCC's flow analysis at -O3 reports false positives inside the standard
# library that the debug build never sees; keeping the code free of warnings is the main build's
# job.
mkdir -p "$build"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRHEO_WERROR=OFF \
    -DRHEO_SANITIZE=OFF -DRHEO_PACKAGE_TEST=ON >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j "$(nproc)" --target rheotrackpanel rheotrack-replay rheotrack-sim \
    >"$build/build.log" 2>&1 || { tail -n 60 "$build/build.log"; exit 1; }

ctest --test-dir "$build" -L package --output-on-failure

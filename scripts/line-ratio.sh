#!/usr/bin/env bash
# Prints how much test code there is for the program's code, in non-blank lines of C++, Python
# and shell: the tests are everything under tests/ but the data in tests/data; the program's
# code is every C++ file under src/ and tools/. The benchmarks and fuzz targets, which measure
# and attack the code rather than test its behaviour, are counted on their own line.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

lines() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \) \
        -not -path 'tests/data/*' -print0 | xargs -0 cat | grep -cv '^[[:space:]]*$'
}
tests=$(lines tests)
code=$(lines src tools)
echo "test-to-code ratio: $((100 * tests / code)) % ($tests non-blank lines of C++, Python and" \
    "shell in tests/ without tests/data; $code of C++ in src/ and tools/)"
echo "benchmarks and fuzz targets: $(lines bench) lines in bench/, $(lines fuzz) in fuzz/"

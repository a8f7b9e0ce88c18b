#!/usr/bin/env bash
# Prints how much test code there is for the program's code, in non-blank lines: test code is
# every C++, Python and shell file under tests/ (but not the data in tests/data), bench/ and
# fuzz/; the program's code is every C++ file under src/ and tools/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

lines() {
    find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.py' -o -name '*.sh' \) \
        -not -path 'tests/data/*' -print0 | xargs -0 cat | grep -cv '^[[:space:]]*$'
}
tests=$(lines tests bench fuzz)
code=$(lines src tools)
echo "test-to-code ratio: $((100 * tests / code)) % ($tests non-blank lines of C++, Python and" \
    "shell in tests/ without tests/data, bench/ and fuzz/; $code of C++ in src/ and tools/)"

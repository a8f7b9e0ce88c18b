#!/usr/bin/env bash
# Fails when a file under src/ or tools/ includes a folder above its own (see docs/DEVELOPING.md),
# or uses the POSIX system interface outside the folders that implement it for POSIX systems:
#   0 vocabulary   1 platform (the interfaces)   2 decoder, recording, trend   3 link   4 app
#   5 platform/qt, platform/posix, platform/win32 (these see only vocabulary and platform)
#   6 auxiliary   7 monitor   8 main.cpp   9 tools
# A folder includes its own files and folders of a lower number; folders with the same number
# do not include each other. POSIX headers and calls belong in src/platform/posix/ and
# tools/*/posix/ (and the Windows C runtime's in the win32/ folders, which only Windows builds),
# so that everything else compiles on Windows as it is.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Includes let through against the layers, as "file included-file" (none today).
allowed=()

folder_of() {  # src/app/Startup.cpp -> app; platform/qt/X.h -> platform/qt; tools/... -> tools
    local path=${1#src/}
    case $path in
        tools/*) echo tools ;;
        platform/qt/* | platform/posix/* | platform/win32/*) echo "${path%/*}" ;;
        */*) echo "${path%%/*}" ;;
        *) echo "$path" ;;
    esac
}

rank_of() {
    case $1 in
        vocabulary) echo 0 ;;
        platform) echo 1 ;;
        decoder | recording | trend) echo 2 ;;
        link) echo 3 ;;
        app) echo 4 ;;
        platform/qt | platform/posix | platform/win32) echo 5 ;;
        auxiliary) echo 6 ;;
        monitor) echo 7 ;;
        main.cpp) echo 8 ;;
        tools) echo 9 ;;
        *) echo unknown ;;
    esac
}

status=0
while IFS=: read -r file line text; do
    target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$text")
    [[ $target == */* ]] || continue  # a file beside the includer
    for exception in "${allowed[@]}"; do
        [[ "$file $target" == "$exception" ]] && continue 2
    done
    from=$(folder_of "$file")
    to=$(folder_of "src/$target")
    [[ $from == "$to" ]] && continue
    from_rank=$(rank_of "$from")
    to_rank=$(rank_of "$to")
    ok=0
    if [[ $from_rank == unknown || $to_rank == unknown ]]; then
        ok=0
    elif [[ $from == platform/* ]]; then
        [[ $to == vocabulary || $to == platform ]] && ok=1
    elif ((to_rank < from_rank)); then
        ok=1
    fi
    if ((ok == 0)); then
        echo "$file:$line: $from must not include $target ($to)" >&2
        status=1
    fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' src tools)

# POSIX outside the POSIX folders: its headers (also the C names of <csignal> and <ctime>, by
# which sigaction and clock_gettime come in) and calls that the standard library does not have.
# Files let through for now, with what they still use (none would be better):
posix_allowed=(
    src/platform/qt/QtSingleInstance.cpp  # kill(pid, 0) from <signal.h>: is the lock's owner gone
)
posix_headers='^[[:space:]]*#[[:space:]]*include[[:space:]]*<((sys|arpa|netinet)/[^>]*|(unistd|fcntl|poll|termios|pthread|dirent|spawn|signal|time|utime|pwd|grp|dlfcn|libgen|semaphore|strings|syslog)\.h)>'
posix_calls='(^|[^[:alnum:]_.>:])(::)?(sigaction|sigemptyset|clock_gettime|clock_nanosleep|nanosleep|usleep|localtime_r|gmtime_r|posix_spawnp?|fork|execv[pe]*|waitpid|kill|tcgetattr|tcsetattr|tcdrain|cfmakeraw|isatty|fsync|fdatasync|getuid|geteuid|getpid|flock|readlink|lstat|fstat|openat|mkstemp|pipe|dup2?)[[:space:]]*\(|(^|[^[:alnum:]_:])::(open|close|read|write|stat|unlink|access)[[:space:]]*\('
while IFS=: read -r file line text; do
    case $file in
        src/platform/posix/* | src/platform/win32/* | tools/*/posix/* | tools/*/win32/*) continue ;;
    esac
    for exception in "${posix_allowed[@]}"; do
        [[ $file == "$exception" ]] && continue 2
    done
    echo "$file:$line: POSIX outside a posix/ folder: ${text#"${text%%[![:space:]]*}"}" >&2
    status=1
done < <(grep -rnE --include='*.cpp' --include='*.h' "$posix_headers|$posix_calls" src tools)

if ((status == 0)); then
    echo "layers: every include goes downwards; POSIX only in the posix/ folders"
fi
exit "$status"

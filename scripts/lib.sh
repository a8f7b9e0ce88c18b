# Shared by scripts/run and scripts/test: installs the Debian packages that are missing.
# Usage: ensure_packages pkg...
ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg -s "$p" >/dev/null 2>&1; then
            missing+=("$p")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

# For the suites that are skipped, not failed, when what they need cannot be had: installs the
# missing packages, or prints why it cannot and returns 1.
# Usage: why="$(try_packages pkg...)" || skip "$why"
try_packages() {
    local missing=() p sudo=() log why
    for p in "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null 2>&1 || {
            echo "${missing[*]} missing and no root to install them"
            return 1
        }
        sudo=(sudo -n)
    fi
    echo "Installing: ${missing[*]}" >&2
    log="$(mktemp)"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq >"$log" 2>&1 || true
    if ! "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
        why="$(grep -E '^(E|W):' "$log" | tail -n 1)"
        rm -f "$log"
        echo "cannot install ${missing[*]} (${why:-apt-get failed})"
        return 1
    fi
    rm -f "$log"
}

# What building and testing the program needs.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev libglib2.0-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libsqlite3-dev libmosquitto-dev nlohmann-json3-dev  # publishing to a broker
    fonts-liberation)  # the reading list's narrow face, for the program and its window tests
TEST_PACKAGES=(socat xvfb xauth xdotool imagemagick x11-utils clang libclang-rt-14-dev
    fonts-dejavu-core clang-format
    mosquitto mosquitto-clients openssl  # the broker tests' broker, subscriber and certificates
    locales)  # the clock test builds the locales it needs from their sources

# The optimised build beside the main build (MAIN_BUILD_DIR/../release, or
# RHEO_RELEASE_BUILD_DIR) for the suites that need one: the long run and the package (the
# configure preset "package"). Prints its directory. -Werror stays off there: GCC's flow
# analysis at -O3 reports false positives inside the standard library that the debug build
# never sees; keeping the code free of warnings is the main build's job.
release_build() {
    local here default build
    here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    if [ $# -ge 1 ] && [ -n "$1" ]; then
        default="$(dirname "$1")/release"
    else
        default="$here/build/release"
    fi
    build="$(realpath -m "${RHEO_RELEASE_BUILD_DIR:-$default}")"
    mkdir -p "$build"
    cmake -S "$here" --preset package -B "$build" \
        >"$build/configure.log" 2>&1 || { cat "$build/configure.log" >&2; return 1; }
    cmake --build "$build" -j "$(nproc)" --target rheo_packaged_programs \
        >"$build/build.log" 2>&1 || { tail -n 60 "$build/build.log" >&2; return 1; }
    echo "$build"
}

# Fetches a Debian source package and unpacks it into WORK/src/PACKAGE, through a private apt
# configuration in WORK/apt that mirrors the system's own sources as deb-src entries; the
# system's apt setup is never changed. Progress goes to WORK/apt.log. When the package cannot be
# had it prints why and returns 1.
# Usage: why="$(fetch_debian_source PACKAGE VERSION WORK)" || skip "$why"
fetch_debian_source() {
    local package="$1" version="$2" work="$3" f
    mkdir -p "$work/apt/lists/partial" "$work/apt/sources.list.d" "$work/src"
    : >"$work/apt/sources.list"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >>"$work/apt/sources.list"
    done
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$work/apt/sources.list.d/${f##*/}"
    done
    local apt_private=(-o "Dir::Etc::sourcelist=$work/apt/sources.list"
        -o "Dir::Etc::sourceparts=$work/apt/sources.list.d"
        -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt")
    apt-get "${apt_private[@]}" update -qq >"$work/apt.log" 2>&1 || {
        echo "apt cannot read the source lists ($(tail -n 1 "$work/apt.log"))"
        return 1
    }
    (cd "$work/src" && apt-get "${apt_private[@]}" source --download-only "$package=$version") \
        >>"$work/apt.log" 2>&1 || {
        echo "cannot fetch $package $version sources ($(tail -n 1 "$work/apt.log"))"
        return 1
    }
    (cd "$work/src" && dpkg-source --no-check -x ./"${package}"_*.dsc "$package") >>"$work/apt.log" 2>&1 || {
        echo "cannot unpack the $package sources"
        return 1
    }
}

# One builder of a cached build at a time: takes the lock FILE on descriptor 9 for the rest of
# the calling script, so that a second caller waits for the first one's result.
# Usage: lock_cache FILE
lock_cache() {
    exec 9>"$1"
    flock 9
}

# Builds and installs a configured cache build: WORK/build into PREFIX.partial, renamed to PREFIX
# once whole, the work folder removed, PREFIX printed. Messages go through the caller's `say`.
# Usage: build_into_cache WORK PREFIX "HOW LONG IT TAKES"
build_into_cache() {
    local work="$1" prefix="$2"
    say "building, $3 (log: $work/build.log)"
    if ! cmake --build "$work/build" -j "$(nproc)" >"$work/build.log" 2>&1; then
        tail -n 40 "$work/build.log" >&2
        exit 1
    fi
    rm -rf "$prefix.partial"
    cmake --install "$work/build" >"$work/install.log" 2>&1 || {
        tail -n 20 "$work/install.log" >&2
        exit 1
    }
    mv "$prefix.partial" "$prefix"
    rm -rf "$work"
    echo "$prefix"
}

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

# What building and testing the program needs.
BUILD_PACKAGES=(build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev)
TEST_PACKAGES=(socat xvfb xauth xdotool imagemagick x11-utils xdg-utils clang libclang-rt-14-dev
    fonts-dejavu-core)

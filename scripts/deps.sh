# Installs the Debian packages a step needs, when they are missing.
# Usage: . scripts/deps.sh; need_packages pkg...
need_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# The score site, reefdart-scores, which the build makes too.
SCORE_PACKAGES=(libcpp-httplib-dev nlohmann-json3-dev libsqlite3-dev libpq-dev libssl-dev)
BUILD_PACKAGES=(cmake g++ make pkg-config libsdl2-dev libopenmpt-dev libpng-dev libfreetype-dev fonts-dejavu-core
                "${SCORE_PACKAGES[@]}")
TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev xvfb x11-apps xdotool imagemagick desktop-file-utils postgresql)
FUZZ_PACKAGES=(clang libclang-rt-dev)
# The ARM64 build of the replay checker and the emulator it runs under.
CROSS_PACKAGES=(g++-aarch64-linux-gnu qemu-user)

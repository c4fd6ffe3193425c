# Sourced by the set-up scripts: installs the Debian 12 packages the build and the tests need.
BRIGHTOWL_BUILD_PACKAGES="cmake g++ make pkg-config qt6-base-dev libturbojpeg0-dev libjpeg62-turbo-dev libv4l-dev"
BRIGHTOWL_TEST_PACKAGES="libgtest-dev libgmock-dev clang libclang-rt-14-dev xvfb xauth chromium"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs whatever of the named packages is missing; 'apt-get update' first, since a fresh
# machine's package lists are empty or stale.
install_packages() {
    local missing=()
    local p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "Installing: ${missing[*]}"
        as_root apt-get update
        as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
    fi
}

# The Debian packages that building and testing need, installed when any is
# missing; sourced by tools/test and tools/demo, not run.

required_packages=(
    cmake make g++ libgtest-dev googletest
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine32:i386 wine64 fonts-wine
    xvfb x11-utils imagemagick
    python3 python3-fonttools fonts-dejavu-core
    xorriso procps
)

package_installed() {
    [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]
}

missing_packages() {
    local package
    for package in "${required_packages[@]}"; do
        if ! package_installed "$package"; then
            echo "$package"
        fi
    done
}

# Leaves apt alone when everything is there already.
ensure_packages() {
    local missing
    missing=$(missing_packages)
    if [[ -z $missing ]]; then
        return 0
    fi
    echo "installing: $(echo $missing)"
    if [[ $(id -u) != 0 ]]; then
        echo "these packages are missing; run this as root to install them" >&2
        return 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    # wine32 is an i386 package.
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
}

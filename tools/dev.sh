#!/usr/bin/env bash
# Sets up a Debian 12 machine for Vorlane and builds it.
#   tools/dev.sh run    install what is missing, build, start the program
#   tools/dev.sh test   install what is missing, build, run every test
#   tools/dev.sh deb    install what is missing, build the Debian package in build-deb/
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build="${VORLANE_BUILD_DIR:-$here/build}"

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libqt6svg6
                libjpeg62-turbo-dev libxcb1-dev
                libglib2.0-dev liblnk-dev libbfio-dev libcanberra-dev libchm-dev shared-mime-info
                qt6-image-formats-plugins adwaita-icon-theme fonts-dejavu-core)
test_packages=(xvfb openbox xdotool x11-utils wmctrl trayer python3-gi gir1.2-gtk-3.0
               dbus-daemon at-spi2-core gir1.2-atspi-2.0 weston qt6-wayland
               fp-utils desktop-file-utils appstream groff-base man-db dpkg-dev file)
package_packages=(dpkg-dev file)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$build" -j "$(nproc)"
}

case "${1:-}" in
run)
    install_missing "${build_packages[@]}"
    configure_and_build -DVORLANE_BUILD_TESTS=OFF -DVORLANE_BUILD_BENCH=OFF
    exec "$build/src/vorlane"
    ;;
test)
    install_missing "${build_packages[@]}" "${test_packages[@]}"
    configure_and_build -DVORLANE_BUILD_TESTS=ON -DVORLANE_BUILD_BENCH=ON
    cd "$build"
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j 2
    ;;
deb)
    install_missing "${build_packages[@]}" "${package_packages[@]}"
    # The package installs under /usr, and the program looks for its manual
    # where it was configured to be installed.
    build="${VORLANE_BUILD_DIR:-$here/build-deb}"
    configure_and_build -DCMAKE_INSTALL_PREFIX=/usr -DVORLANE_BUILD_TESTS=OFF -DVORLANE_BUILD_BENCH=OFF
    cd "$build"
    cpack
    ls -l "$build"/vorlane_*.deb
    ;;
*)
    echo "usage: $0 run|test|deb" >&2
    exit 64
    ;;
esac

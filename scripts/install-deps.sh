#!/usr/bin/env bash
# Installs the Debian packages Tetrapan needs to build, test and run; only what is missing.
# Usage: scripts/install-deps.sh [--bench | --fuzz]
#   --bench adds the plain mpv player used for comparisons
#   --fuzz adds clang with its libFuzzer and sanitizer runtimes (make fuzz); make test-asan needs nothing more,
#          g++ brings its own sanitizer runtimes
set -euo pipefail

packages=(cmake g++ ninja-build pkg-config lld
          desktop-file-utils appstream dbus-daemon xdotool dpkg-dev lintian
          qt6-base-dev qt6-base-private-dev libqt6opengl6-dev qt6-svg-dev libmpv-dev libexpat1-dev
          libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev libavfilter-dev libfftw3-dev
          ffmpeg xvfb xauth fonts-dejavu-core libgl1-mesa-dri locales
          qt6-wayland weston libegl-mesa0)
case "${1:-}" in
    --bench) packages+=(mpv) ;;
    # libclang-rt-14-dev holds libclang_rt.fuzzer and the ASan/UBSan runtimes; llvm-14 the symbolizer for reports
    --fuzz) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
esac

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

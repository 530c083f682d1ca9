#!/usr/bin/env bash
# Installs the Debian packages Kestrin needs, quietly and only when missing.
#   cmake g++ make        build tools
#   libgtest-dev libgmock-dev   unit tests (GoogleTest)
#   libbenchmark-dev      benchmarks (Google Benchmark)
#   libpng-dev            PNG pictures of scenes and maps
#   pkg-config            locating libpng and FFTW
#   libfftw3-dev          FFTW 3, double precision: the fast transform of every propagation step
#   qt6-base-dev          Qt Gui: painting the pictures (PNG) of ksn, and the desktop program
#   fonts-dejavu-core     a font for the pictures' text on a machine without a desktop
#   libwmf-bin            wmf2svg, which the tests use to read the written metafiles back
#   xvfb xauth xdotool    a real X server for starting kestrin as a user would, and keys
#                         (Ctrl+Q) for it (scripts/gui-xvfb.sh)
# Optional, only for scripts/fuzz.sh, which installs them itself when missing:
#   clang libclang-rt-14-dev   libFuzzer with AddressSanitizer and UBSan
set -euo pipefail

packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libfftw3-dev
          qt6-base-dev fonts-dejavu-core libwmf-bin xvfb xauth xdotool)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || { echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
  SUDO="sudo"
fi
echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
# A fresh machine has no package lists; refresh them when the install cannot find a package.
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
  $SUDO apt-get update -qq >/dev/null
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

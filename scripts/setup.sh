#!/usr/bin/env bash
# Installs the Debian packages the game and its tests need, when any is missing.
# Usage: scripts/setup.sh [--tests]
set -euo pipefail

packages=(cmake ninja-build g++ qt6-base-dev zlib1g-dev libgtest-dev fontconfig fonts-dejavu-core fonts-dejavu-extra)
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(xvfb xauth xdotool imagemagick x11-utils desktop-file-utils appstream)
  # The real-window test: keyboard layouts, and reading the board's texts back by OCR.
  packages+=(x11-xkb-utils tesseract-ocr tesseract-ocr-eng)
  # The package check: CPack's dependency list, lintian, a Debian root, the example.
  packages+=(dpkg-dev file lintian debootstrap pkgconf)
  # The fuzz preset (Clang with libFuzzer and the sanitizer runtimes) and the checks.
  packages+=(clang libclang-rt-14-dev llvm clang-format clang-tidy)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
if [[ $(id -u) -eq 0 ]]; then
  as_root=()
elif command -v sudo >/dev/null; then
  as_root=(sudo)
else
  echo "setup: these packages are missing and there is no sudo to install them: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

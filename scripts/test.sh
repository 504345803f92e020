#!/usr/bin/env bash
# Installs what is missing, builds everything, and runs every test: the full
# build, then the container library again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --tests
cmake --preset sanitize >/dev/null
cmake --build --preset sanitize
ctest --preset sanitize
cmake --preset release >/dev/null
cmake --build --preset release
ctest --preset release

# The Debian packages: built, installed on a fresh Debian 12 root and removed; the library's example built against them.
scripts/package_test.sh

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every check, one step after the
# other; any failing step stops the run.
# QUILLORY_FUZZ_SECONDS: fuzzing time per target (default 20; 0 skips the fuzz pass).
# QUILLORY_LINT: 0 skips clang-tidy (default 1; the layout is always checked).
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${QUILLORY_FUZZ_SECONDS:-20}
lint=${QUILLORY_LINT:-1}

# Packages for the build, the tests, the fuzzers and the checks.
scripts/setup.sh --tests
# Everything and every test under AddressSanitizer, LeakSanitizer and UBSan; the ci-
# presets treat warnings as errors (the players' presets do not).
cmake --preset ci-sanitize >/dev/null
cmake --build --preset ci-sanitize
ctest --preset ci-sanitize
# The release build and every test.
cmake --preset ci-release >/dev/null
cmake --build --preset ci-release
ctest --preset ci-release
# Every fuzz target for a short while, libraries instrumented; fails on any finding.
if [[ $fuzz_seconds -gt 0 ]]; then scripts/fuzz.sh --seconds "$fuzz_seconds"; fi
# Layout against .clang-format and, unless QUILLORY_LINT=0, clang-tidy over the release
# build's compile database.
if [[ $lint -eq 1 ]]; then scripts/lint.sh --build build/release; else scripts/lint.sh --format; fi

# The Debian packages: built, installed on a fresh Debian 12 root and removed; the library's example built against them.
QUILLORY_PRESET=ci-release scripts/package_test.sh

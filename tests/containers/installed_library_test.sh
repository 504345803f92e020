#!/usr/bin/env bash
# Installs the kest component of a build into a scratch prefix, as a user of the library
# meets it, and checks it: only the public headers are there, under include/kest; the
# guide and the examples are in the documentation folder; examples/ builds against the
# install with find_package(kest) and runs: the guide's example, and a C++17 program with
# a containers/ folder and a global ReadInt32 of its own.
#
# Usage: installed_library_test.sh BUILD_DIR SOURCE_DIR [CXX_COMPILER [CXX_FLAGS]]
#   the compiler and flags the library was built with (a sanitizer build's library needs
#   its runtime linked into the examples too)
set -u
# shellcheck source=tests/support/install_checks.sh
source "$(dirname "$0")/../support/install_checks.sh"

build_dir=$1
source_dir=$2
compiler=${3:-c++}
flags=${4:-}
make_work_folder kest-installed

prefix=$work/prefix
run_or_stop "$work/install.log" "cmake --install --component kest failed" \
    cmake --install "$build_dir" --component kest --prefix "$prefix"
check_kest_files "$prefix/include" "$prefix/share/doc/libkest-dev"
check_kest_examples "$source_dir/examples" "$work/build" "$prefix" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_CXX_FLAGS="$flags"

finish_checks "installed library: all checks pass"

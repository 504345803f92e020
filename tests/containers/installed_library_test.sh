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

build_dir=$1
source_dir=$2
compiler=${3:-c++}
flags=${4:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/kest-installed.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

prefix=$work/prefix
if ! cmake --install "$build_dir" --component kest --prefix "$prefix" >"$work/install.log" 2>&1; then
    cat "$work/install.log" >&2
    echo "FAIL: cmake --install --component kest failed" >&2
    exit 1
fi

headers=$(cd "$prefix/include" && find . -name '*.h' | sort | tr '\n' ' ')
expected="./kest/containers/container.h ./kest/containers/container_base.h ./kest/containers/container_item.h \
./kest/containers/kest_exception.h ./kest/containers/kest_string.h ./kest/containers/peer_data_container.h \
./kest/containers/string_container.h ./kest/memory/int_container.h ./kest/memory/mem_buffer.h \
./kest/memory/mem_space.h "
[[ "$headers" == "$expected" ]] || fail "installed headers are: $headers"
docs=$prefix/share/doc/libkest-dev
[[ -f "$docs/guide.md" ]] || fail "no guide.md in share/doc/libkest-dev"
[[ -f "$docs/examples/save_and_load.cpp" ]] || fail "no examples in share/doc/libkest-dev"

if ! cmake -S "$source_dir/examples" -B "$work/build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$compiler" \
    -DCMAKE_CXX_FLAGS="$flags" >"$work/configure.log" 2>&1; then
    cat "$work/configure.log" >&2
    echo "FAIL: find_package(kest) against the install failed" >&2
    exit 1
fi
if ! cmake --build "$work/build" >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    echo "FAIL: the examples do not build against the install" >&2
    exit 1
fi
(cd "$work/build" && ./save_and_load) || fail "save_and_load failed"
(cd "$work/build" && ./consumer) || fail "the C++17 consumer failed"

[[ $failures -eq 0 ]] && echo "installed library: all checks pass"
exit $((failures > 0))

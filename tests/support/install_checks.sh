# shellcheck shell=bash
# Steps shared by the checks of what is installed: tests/game/install_test.sh,
# tests/containers/installed_library_test.sh and scripts/package_test.sh source this.
# A script that sources it may define fail() anew after it (package_test.sh stops at
# the first failure); the steps here call whichever fail() is defined when they run.

failures=0
# Counts a failed check and says what failed; the script goes on with the next check.
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# A scratch folder in $work for the script's files, removed when the script ends.
make_work_folder() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    trap 'rm -rf "$work"' EXIT
}

# Stops the script unless every tool named is on PATH.
need_tools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null; then
            echo "FAIL: $tool is not installed (scripts/setup.sh --tests installs it)" >&2
            exit 1
        fi
    done
}

# run_or_stop LOG WHAT COMMAND...: runs the command with its output in LOG; when it
# fails, prints LOG and "FAIL: WHAT" and stops the script.
run_or_stop() {
    local log=$1 what=$2
    shift 2
    if ! "$@" >"$log" 2>&1; then
        cat "$log" >&2
        echo "FAIL: $what" >&2
        exit 1
    fi
}

# The value of KEY in the desktop entry FILE.
desktop_key() {
    sed -n "s/^$2=//p" "$1"
}

# check_desktop_entry FILE ROOT: the entry passes desktop-file-validate, and, with the
# installed tree at ROOT (/ when installed for real), Exec names an installed program
# and Path a folder whose images/ holds the result pictures, as the game reads them.
check_desktop_entry() {
    local desktop=$1 root=$2 picture
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $(basename "$desktop")"
    [[ -x "$root$(desktop_key "$desktop" Exec)" ]] ||
        fail "Exec=$(desktop_key "$desktop" Exec) is not an installed program"
    for picture in success lost; do
        [[ -f "$root$(desktop_key "$desktop" Path)/images/$picture.bmp" ]] ||
            fail "Path=$(desktop_key "$desktop" Path) has no images/$picture.bmp"
    done
}

# check_kest_files INCLUDE_DIR DOC_DIR: exactly the library's public headers are
# installed under INCLUDE_DIR/kest, and its guide and examples under DOC_DIR.
check_kest_files() {
    local headers expected
    headers=$(cd "$1" && find . -name '*.h' | sort | tr '\n' ' ')
    expected="./kest/containers/container.h ./kest/containers/container_base.h ./kest/containers/container_item.h \
./kest/containers/kest_exception.h ./kest/containers/kest_string.h ./kest/containers/peer_data_container.h \
./kest/containers/string_container.h ./kest/memory/int_container.h ./kest/memory/mem_buffer.h \
./kest/memory/mem_space.h "
    [[ "$headers" == "$expected" ]] || fail "installed headers are: $headers"
    [[ -f "$2/guide.md" ]] || fail "no guide.md in $2"
    [[ -f "$2/examples/save_and_load.cpp" ]] || fail "no examples in $2"
}

# check_kest_examples SOURCE BUILD PREFIX [CMAKE_ARGUMENT...]: the examples in SOURCE
# configure with find_package(kest) against the library installed under PREFIX, build
# in BUILD, and run: the guide's example and the C++17 consumer.
check_kest_examples() {
    local source=$1 build=$2 prefix=$3
    shift 3
    run_or_stop "$build.configure.log" "find_package(kest) against the files under $prefix failed" \
        cmake -S "$source" -B "$build" -DCMAKE_PREFIX_PATH="$prefix" "$@"
    run_or_stop "$build.build.log" "the examples do not build with find_package(kest)" cmake --build "$build"
    (cd "$build" && ./save_and_load) || fail "the example built with find_package(kest) failed"
    (cd "$build" && ./consumer) || fail "the C++17 consumer built with find_package(kest) failed"
}

# Ends the script: 1 when any check failed, else 0 after printing PASSED_MESSAGE.
finish_checks() {
    if [[ $failures -gt 0 ]]; then
        echo "$failures checks failed" >&2
        exit 1
    fi
    echo "$1"
    exit 0
}

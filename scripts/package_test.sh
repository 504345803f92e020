#!/usr/bin/env bash
# Builds the Debian packages (quillory and libkest-dev) and checks them as a user would
# meet them:
#  - lintian finds no errors in either package;
#  - on a fresh Debian 12 root (debootstrap minbase), `apt install ./quillory_*.deb`
#    pulls in what the game needs; the installed quillory-route prints what the built
#    one prints; the desktop entry validates, and the game started as it says (its
#    Exec in its Path, where images/ holds the pictures) runs; `apt remove` leaves
#    no file behind;
#  - libkest-dev holds the public headers under /usr/include/kest and none of the
#    library's internal ones, and the guide under /usr/share/doc/libkest-dev;
#  - examples/ builds outside the tree against the libkest-dev files, once with
#    find_package(kest) and once with pkg-config, and runs: the guide's example (C++20)
#    and a C++17 program with a containers/ folder and a global ReadInt32 of its own.
# Needs root (debootstrap, chroot, mount) and the network to the Debian mirror. The
# pristine root is kept as a tarball under build/package-test and unpacked afresh for
# every run.
#
# Usage: scripts/package_test.sh
# QUILLORY_PRESET: the configure preset of build/release (default release; the gate
# passes ci-release, so that the tree it built is not configured anew).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

source_dir=$PWD
build_dir=$source_dir/build/release
work=$source_dir/build/package-test
root=$work/root
base_tarball=$work/bookworm-minbase.tar.gz
mirror=http://deb.debian.org/debian

if [[ $(id -u) -ne 0 ]]; then
    echo "package_test: needs root (debootstrap, chroot and mount)" >&2
    exit 1
fi
# shellcheck source=tests/support/install_checks.sh
source tests/support/install_checks.sh
need_tools debootstrap cpack lintian desktop-file-validate dpkg-deb dpkg-shlibdeps pkg-config

# Everything mounted below the work folder (the root, or a debootstrap that stopped
# half-way), deepest first.
mounts_in_root() {
    awk -v work="$work/" 'index($2 "/", work) == 1 { print $2 }' /proc/self/mounts | sort -r
}
scratch=""
cleanup() {
    local mount
    for mount in $(mounts_in_root); do
        umount "$mount" 2>/dev/null || umount -l "$mount"
    done
    [[ -z "$scratch" ]] || rm -rf "$scratch"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP
step() { echo "== $* ($((SECONDS - started)) s)"; }
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
in_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin:/usr/games HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}

step "building the programs, the library and the packages"
cmake --preset "${QUILLORY_PRESET:-release}" >/dev/null
cmake --build build/release --target quillory quillory-route kest >/dev/null
rm -rf "$build_dir/packages"
cpack --preset release >/dev/null
game_deb=$(echo "$build_dir"/packages/quillory_*.deb)
dev_deb=$(echo "$build_dir"/packages/libkest-dev_*.deb)
[[ -f "$game_deb" && -f "$dev_deb" ]] || fail "cpack did not make quillory_*.deb and libkest-dev_*.deb"

step "lintian"
status=0
findings=$(lintian --fail-on error "$game_deb" "$dev_deb" 2>&1) || status=$?
grep -v '^running with root privileges' <<<"$findings" || true
[[ $status -eq 0 ]] || fail "lintian reports errors"

step "a fresh Debian 12 root"
mkdir -p "$work"
# Never delete through a mount (the root's /dev is the machine's own).
cleanup
[[ -z "$(mounts_in_root)" ]] || fail "cannot unmount what is mounted in $work"
if [[ ! -f "$base_tarball" ]]; then
    rm -rf "$work/base"
    debootstrap --variant=minbase bookworm "$work/base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
        fail "debootstrap failed; see $work/debootstrap.log"
    tar -C "$work/base" -czf "$base_tarball.part" . && mv "$base_tarball.part" "$base_tarball"
    rm -rf "$work/base"
fi
rm -rf "$root"
mkdir -p "$root"
tar -C "$root" -xzf "$base_tarball"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mkdir -p "$root/tmp/debs"
cp "$game_deb" "$dev_deb" "$root/tmp/debs/"
in_root apt-get update -q >"$work/apt.log" 2>&1 || fail "apt-get update failed; see $work/apt.log"

# The files of the root, less apt's and dpkg's own records and what they download.
snapshot() {
    (cd "$root" && find . -xdev \( -path ./tmp -o -path ./var/lib/dpkg -o -path ./var/lib/apt \
        -o -path ./var/cache -o -path ./var/log -o -path ./run \) -prune -o -print) | sort
}
install_game() {
    in_root apt-get install -y -q "/tmp/debs/$(basename "$game_deb")" >>"$work/apt.log" 2>&1 ||
        fail "apt install of the game failed; see $work/apt.log"
}
remove_game() {
    in_root apt-get remove -y -q quillory >>"$work/apt.log" 2>&1 || fail "apt remove failed; see $work/apt.log"
}

step "apt install ./$(basename "$game_deb") and apt remove, to bring in its dependencies"
install_game
remove_game
before=$(snapshot)

step "apt install ./$(basename "$game_deb")"
install_game
route_program=$(in_root dpkg -L quillory | grep '/quillory-route$') || fail "the package holds no quillory-route"
expected=$("$build_dir/quillory-route" --table 0)
actual=$(in_root "$route_program" --table 0) || fail "$route_program --table 0 failed"
[[ "$actual" == "$expected" ]] || fail "$route_program --table 0 prints other than the built program"

desktop=$root/usr/share/applications/io.github.quillory.Quillory.desktop
[[ -f "$desktop" ]] || fail "no desktop entry in /usr/share/applications"
check_desktop_entry "$desktop" "$root"
exec_line=$(desktop_key "$desktop" Exec)
path=$(desktop_key "$desktop" Path)
# Started as the desktop entry says, the game is still running after a few seconds
# (timeout's 124), not stopped by a missing library or plugin.
status=0
in_root sh -c "cd '$path' && QT_QPA_PLATFORM=offscreen timeout 5 $exec_line" >"$work/game.log" 2>&1 ||
    status=$?
[[ $status -eq 124 ]] || { cat "$work/game.log" >&2; fail "the game did not keep running (status $status)"; }

step "apt remove quillory"
remove_game
after=$(snapshot)
left=$(diff <(echo "$before") <(echo "$after")) || true
[[ -z "$left" ]] || fail "apt remove leaves the root changed:
$left"

step "examples/ against the libkest-dev files"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kest-example.XXXXXX")
prefix=$scratch/prefix
dpkg-deb -x "$dev_deb" "$prefix"
cp -r examples "$scratch/source"
for internal in byte_io file_save block_allocation zlib_payload; do
    [[ -z "$(find "$prefix" -name "$internal.h")" ]] || fail "libkest-dev installs the internal header $internal.h"
done
check_kest_files "$prefix/usr/include" "$prefix/usr/share/doc/libkest-dev"
check_kest_examples "$scratch/source" "$scratch/with-cmake" "$prefix/usr" -G Ninja
# The package's kest.pc names /usr; the sysroot puts its folders under the prefix.
pc_dir=$(dirname "$(cd "$prefix" && find . -name kest.pc)")
flags=$(PKG_CONFIG_PATH="$prefix/${pc_dir#./}" PKG_CONFIG_SYSROOT_DIR="$prefix" pkg-config --cflags --libs kest) ||
    fail "pkg-config does not find kest"
mkdir "$scratch/with-pkg-config"
# shellcheck disable=SC2086 # the flags are separate words
g++ -std=c++20 -Wall -Wextra -o "$scratch/with-pkg-config/save_and_load" "$scratch/source/save_and_load.cpp" $flags ||
    fail "the example does not build with pkg-config"
(cd "$scratch/with-pkg-config" && ./save_and_load) || fail "the example built with pkg-config failed"
# shellcheck disable=SC2086
g++ -std=c++17 -Wall -Wextra -I "$scratch/source/consumer" -o "$scratch/with-pkg-config/consumer" \
    "$scratch/source/consumer/consumer.cpp" $flags || fail "the C++17 consumer does not build with pkg-config"
(cd "$scratch/with-pkg-config" && ./consumer) || fail "the C++17 consumer built with pkg-config failed"

step "packages pass"

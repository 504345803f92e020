#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR) under a prefix given to
# cmake --install, and checks what lands where: the program, the images folder, the
# desktop entry and the metainfo (both must pass their validators) and the icons.
#
# Usage: install_test.sh BUILD_DIR SOURCE_DIR
set -u
# shellcheck source=tests/support/install_checks.sh
source "$(dirname "$0")/../support/install_checks.sh"

build_dir=$1
source_dir=$2
app_id=io.github.quillory.Quillory
prefix=/opt/quillory-install-check

make_work_folder quillory-install
need_tools desktop-file-validate appstreamcli
run_or_stop "$work/install.log" "cmake --install failed" \
    env DESTDIR="$work/stage" cmake --install "$build_dir" --prefix "$prefix"
root="$work/stage$prefix"
share="$root/share"

# Nothing may be written outside the staging folder's prefix.
stray=$(cd "$work/stage" && find . -mindepth 1 -maxdepth 3 -path "./${prefix#/}" -prune -o -type f -print)
[[ -z "$stray" ]] || fail "files outside the prefix: $stray"

[[ -x "$root/games/quillory" ]] || fail "the program is not installed as games/quillory"
[[ -d "$share/quillory/images" ]] || fail "no images folder in share/quillory"
# The result pictures go with the program, byte for byte; nothing else of images/ does.
for picture in "$source_dir"/images/*.bmp; do
    [[ -e "$picture" ]] || continue
    cmp -s "$picture" "$share/quillory/images/$(basename "$picture")" ||
        fail "images/$(basename "$picture") is not installed as it is"
done
unexpected=$(find "$share/quillory/images" -type f ! -name '*.bmp')
[[ -z "$unexpected" ]] || fail "installed beside the pictures: $unexpected"

desktop="$share/applications/$app_id.desktop"
if [[ -f "$desktop" ]]; then
    check_desktop_entry "$desktop" "$work/stage"
    key() { desktop_key "$desktop" "$1"; }
    [[ "$(key Categories)" == "Game;LogicGame;" ]] || fail "Categories is '$(key Categories)'"
    [[ "$(key Exec)" == "$prefix/games/quillory" ]] || fail "Exec is '$(key Exec)'"
    [[ "$(key Path)" == "$prefix/share/quillory" ]] || fail "Path is '$(key Path)'"
    [[ "$(key Icon)" == "$app_id" ]] || fail "Icon is '$(key Icon)'"
    [[ "$(key Name)" == "Quillory" ]] || fail "Name is '$(key Name)'"
    # The game finds images/ below the folder it is started in.
    [[ -d "$work/stage$(key Path)/images" ]] || fail "images/ does not resolve from Path"
else
    fail "no desktop entry share/applications/$app_id.desktop"
fi

metainfo="$share/metainfo/$app_id.metainfo.xml"
if [[ -f "$metainfo" ]]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $app_id.metainfo.xml"
    grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo does not carry the id $app_id"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "the metainfo does not launch $app_id.desktop"
else
    fail "no metainfo share/metainfo/$app_id.metainfo.xml"
fi

png="$share/icons/hicolor/48x48/apps/$app_id.png"
if [[ -f "$png" ]]; then
    # PNG signature, then the IHDR chunk with width and height as 32-bit big-endian.
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    [[ "$signature" == "89504e470d0a1a0a" ]] || fail "the 48x48 icon is not a PNG"
    size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print ($1*16777216+$2*65536+$3*256+$4) "x" ($5*16777216+$6*65536+$7*256+$8)}')
    [[ "$size" == "48x48" ]] || fail "the 48x48 icon is $size"
else
    fail "no icon share/icons/hicolor/48x48/apps/$app_id.png"
fi
svg="$share/icons/hicolor/scalable/apps/$app_id.svg"
if [[ -f "$svg" ]]; then
    grep -q '<svg' "$svg" || fail "the scalable icon is not an SVG"
else
    fail "no icon share/icons/hicolor/scalable/apps/$app_id.svg"
fi

finish_checks "install layout and desktop files are valid"

#!/usr/bin/env bash
# Plays the built game in a real X window: starts a virtual X server, starts the game
# from the source folder as a player would, presses keys, and checks screenshots of
# its window against the tables. Every wait is bounded; the server and the game are
# stopped however the test ends.
#
# Usage: real_window_test.sh GAME CHECKER SOURCE_DIR [SCREENSHOT_COPY]
#   GAME             the built quillory program
#   CHECKER          the built window_shot_check program
#   SOURCE_DIR       working directory for the game (the repository root)
#   SCREENSHOT_COPY  where to keep the picture of the first table, if wanted
# KEEP_WORK=1 keeps the work folder (screenshots, the OCR input and what was read).
set -u

game=$(realpath "$1")
checker=$(realpath "$2")
source_dir=$(realpath "$3")
screenshot_copy=${4:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/quillory-window.XXXXXX")
xvfb_pid=""
game_pid=""

cleanup() {
    if [[ -n "$game_pid" ]] && kill -0 "$game_pid" 2>/dev/null; then
        kill "$game_pid" 2>/dev/null
        wait "$game_pid" 2>/dev/null
    fi
    if [[ -n "$xvfb_pid" ]] && kill -0 "$xvfb_pid" 2>/dev/null; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    [[ -n "${KEEP_WORK:-}" ]] || rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [[ -s "$work/game.log" ]]; then
        echo "--- game output" >&2
        cat "$work/game.log" >&2
    fi
    exit 1
}

for tool in Xvfb xdotool import xdpyinfo convert tesseract setxkbmap; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/setup.sh --tests installs it)"
done
[[ -x "$game" ]] || fail "no game at $game"
[[ -x "$checker" ]] || fail "no checker at $checker"

# A display number nobody uses: no lock file and no socket. Another server may take
# the same number in the meantime, so a server that does not come up means: try the next.
start_server() {
    local n
    for n in $(seq 90 139); do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
        xvfb_pid=$!
        local tries
        for tries in $(seq 1 50); do
            if ! kill -0 "$xvfb_pid" 2>/dev/null; then
                break
            fi
            if DISPLAY=":$n" timeout 2 xdpyinfo >/dev/null 2>&1; then
                export DISPLAY=":$n"
                return 0
            fi
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    done
    return 1
}

start_server || fail "no virtual X server could be started"
echo "virtual X server on $DISPLAY"

# Starts the game with the arguments given, as a player would from the source folder,
# and waits for its window. The game talks to the X server, not to the headless
# platform the other tests use.
start_game() {
    (
        unset QT_QPA_PLATFORM WAYLAND_DISPLAY
        cd "$source_dir" || exit 1
        exec timeout 120 "$game" "$@"
    ) >>"$work/game.log" 2>&1 &
    game_pid=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Quillory$' 2>/dev/null | head -n 1)
    [[ -n "$window" ]] || fail "the game's window did not appear"
    timeout 5 xdotool windowfocus --sync "$window" >/dev/null 2>&1 || fail "the game's window took no focus"
}

# Ends the game with File, Exit by their access letters; fails unless it ends with exit code 0.
exit_game() {
    press alt+f
    sleep 0.5
    press x
    for tries in $(seq 1 50); do
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$game_pid" 2>/dev/null; then
        fail "the game did not end after File, Exit"
    fi
    wait "$game_pid"
    status=$?
    game_pid=""
    [[ $status -eq 0 ]] || fail "the game ended with exit code $status"
}

start_game

shots=0
# Waits (up to 10 s) until a screenshot of the window shows TABLE after KEYS.
expect_board() {
    local table=$1 keys=$2 what=$3 shot result tries
    for tries in $(seq 1 20); do
        shots=$((shots + 1))
        shot="$work/shot$shots.png"
        if timeout 10 import -window "$window" "png:$shot" 2>>"$work/import.log"; then
            result=$("$checker" board "$shot" "$table" "$keys")
            case $? in
            0) echo "ok: $what: $result"; last_shot=$shot; return 0 ;;
            2) fail "$what: $result" ;;
            esac
        fi
        sleep 0.5
    done
    echo "$result" >&2
    fail "$what: the window never showed table $table after keys \"$keys\""
}

press() {
    timeout 5 xdotool key --clearmodifiers "$@" || fail "could not press $*"
}

last_shot=""
expect_board 0 - "table 0 at start"
if [[ -n "$screenshot_copy" ]]; then
    cp "$last_shot" "$screenshot_copy" || fail "could not keep the screenshot in $screenshot_copy"
fi
press Up
expect_board 0 U "an arrow move clears the cell left"
press BackSpace
expect_board 0 UB "Backspace restores the cell"

# The mouse: a click on the cell above the player (from (1, 9) of table 0) moves there as
# the up arrow does; a click on a cell that is no neighbour does nothing.
board_top=$(( $(xdotool getwindowgeometry --shell "$window" | sed -n 's/^HEIGHT=//p') - 300 ))
click_cell() {
    timeout 5 xdotool mousemove --window "$window" $(($1 * 25 + 12)) $((board_top + $2 * 25 + 12)) click 1 ||
        fail "could not click cell ($1, $2)"
}
click_cell 1 8
expect_board 0 UBU "a click on the cell above the player moves up"
click_cell 5 5
click_cell 1 6
sleep 0.5
expect_board 0 UBU "clicks on cells that are no neighbours do nothing"
press BackSpace
expect_board 0 UBUB "Backspace undoes the click's move"

# A menu opened with the mouse and closed with Escape gives the keys back to the board.
timeout 5 xdotool mousemove --window "$window" 12 $((board_top / 2)) click 1 || fail "could not click the menu bar"
sleep 0.3
press Escape
sleep 0.3
press Up
expect_board 0 UBUBU "after Escape closes a menu, an arrow key moves the player"
press BackSpace
expect_board 0 UBUBUB "Backspace undoes that move"
first_shot=$last_shot
press n
expect_board 1 - "N puts table 1 into play"
table1_shot=$last_shot
press p
expect_board 0 - "P puts table 0 back into play"

# Under a layout without Latin letters, the keys in N's and P's places are N and P.
setxkbmap ru || fail "setxkbmap could not set a Russian layout"
press Cyrillic_te
expect_board 1 - "the key in N's place under a Russian layout puts table 1 into play"
press Cyrillic_ze
expect_board 0 - "the key in P's place under a Russian layout puts table 0 back into play"
setxkbmap us || fail "setxkbmap could not set the US layout back"

# The board's texts read back exactly through an OCR reader: every table number and a
# spread of times as the game composes them on this display, and the table numbers of
# the window itself. The texts alone, dark on light and enlarged four times, in one run.
env -u QT_QPA_PLATFORM "$checker" texts "$work/texts.png" "$first_shot" 0 "$table1_shot" 1 >"$work/texts.expected" ||
    fail "the board's texts could not be composed"
convert "$work/texts.png" -negate -resize 400% "$work/texts-large.png" || fail "could not enlarge the texts"
timeout 60 tesseract "$work/texts-large.png" - --psm 6 2>"$work/tesseract.log" | grep -v '^[[:space:]]*$' \
    >"$work/texts.read" || fail "tesseract read nothing: $(cat "$work/tesseract.log")"
misread=$(diff "$work/texts.expected" "$work/texts.read") || fail "the board's texts read back otherwise:
$misread"
echo "ok: $(wc -l <"$work/texts.expected") board texts read back exactly by OCR"

# Help, About by the keyboard (Help by its access letter, About its first item):
# the about dialog shows "Last build:" and its five credit lines whole.
press alt+h
sleep 0.3
press Return
about=$(timeout 10 xdotool search --sync --onlyvisible --name '^About Quillory$' 2>/dev/null | head -n 1)
[[ -n "$about" ]] || fail "Help, About showed no about dialog"
shown=""
for tries in $(seq 1 20); do
    shots=$((shots + 1))
    shot="$work/shot$shots.png"
    if timeout 10 import -window "$about" "png:$shot" 2>>"$work/import.log"; then
        shown=$("$checker" about "$shot" 2>>"$work/checker.log") && break
    fi
    shown="${shown:-no screenshot of the about dialog}"
    sleep 0.5
done
[[ $tries -lt 20 ]] || fail "the about dialog: $shown"
echo "ok: the about dialog: $shown"
timeout 5 xdotool windowfocus --sync "$about" >/dev/null 2>&1 || fail "the about dialog took no focus"
press Escape
for tries in $(seq 1 50); do
    timeout 2 xdotool search --onlyvisible --name '^About Quillory$' >/dev/null 2>&1 || break
    sleep 0.1
done
timeout 5 xdotool windowfocus --sync "$window" >/dev/null 2>&1 || fail "the game's window took no focus back"
expect_board 0 - "the board stays after the about dialog"

# Walking into a dead end loses: the result dialog shows the picture of a loss when
# images/lost.bmp is there, a message box otherwise. The board stays as it is.
dead_end="Down Right Right Right Right Up Up Up Left Left Left Left Down"
# shellcheck disable=SC2086
press $dead_end
lost_picture="$source_dir/images/lost.bmp"
if [[ -f "$lost_picture" ]]; then
    report=$(timeout 10 xdotool search --sync --onlyvisible --name '^Result$' 2>/dev/null | head -n 1)
    [[ -n "$report" ]] || fail "no result dialog after a loss"
    shown=""
    for tries in $(seq 1 20); do
        shots=$((shots + 1))
        shot="$work/shot$shots.png"
        if timeout 10 import -window "$report" "png:$shot" 2>>"$work/import.log"; then
            shown=$("$checker" picture "$shot" "$lost_picture") && break
        fi
        shown="${shown:-no screenshot of the result dialog}"
        sleep 0.5
    done
    [[ $tries -lt 20 ]] || fail "the result dialog: $shown"
    echo "ok: a loss shows the result dialog: $shown"
else
    report=$(timeout 10 xdotool search --sync --onlyvisible --name '^Quillory$' 2>/dev/null | grep -vx "$window" | head -n 1)
    [[ -n "$report" ]] || fail "no message box after a loss"
    echo "ok: a loss shows a message box"
fi
timeout 5 xdotool windowfocus --sync "$report" >/dev/null 2>&1 || fail "the report took no focus"
press Return
for tries in $(seq 1 50); do
    timeout 2 xdotool search --onlyvisible --name '^Result$' >/dev/null 2>&1 || break
    sleep 0.1
done
timeout 5 xdotool windowfocus --sync "$window" >/dev/null 2>&1 || fail "the game's window took no focus back"
expect_board 0 DRRRRUUULLLLD "the board stays after a loss"
press BackSpace
expect_board 0 DRRRRUUULLLLDB "Backspace undoes the losing move"

# File, Save track... with a name typed into its dialog saves the position.
press alt+f
sleep 0.3
press Down Return
timeout 10 xdotool search --sync --onlyvisible --name '^Save track$' >/dev/null 2>&1 || fail "no save dialog"
sleep 0.3
timeout 10 xdotool type --delay 20 "$work/track" || fail "could not type the track's name"
press Return
for tries in $(seq 1 50); do
    [[ -s "$work/track.txt" ]] && break
    sleep 0.1
done
[[ -s "$work/track.txt" ]] || fail "Save track with a typed name saved no $work/track.txt"
echo "ok: Save track with a typed name writes it, with the default extension"
for tries in $(seq 1 50); do
    timeout 2 xdotool search --onlyvisible --name '^Save track$' >/dev/null 2>&1 || break
    sleep 0.1
done
timeout 5 xdotool windowfocus --sync "$window" >/dev/null 2>&1 || fail "the game's window took no focus back"

# File, Exit by their access letters ends the program with exit code 0.
exit_game
echo "ok: File, Exit ends the game with exit code 0"

# Named on the command line, the saved track is in play once the window is up.
start_game "$work/track.txt"
expect_board 0 DRRRRUUULLLLDB "quillory TRACKFILE starts with that track"
exit_game
echo "real window test passed"

#!/usr/bin/env bash
# Starts WINQOR.EXE under Wine on a virtual X screen and checks what a user
# sees: the message boxes the system calls call for (computed by
# startup_expect.exe from the same calls), each with the caption, its text,
# one OK button and no owner; a second copy started meanwhile ends without a
# box of its own from the checks; OK ends the program. Keeps a picture of the
# last box.
#
# usage: wine_smoke.sh PREFIX WINQOR.EXE startup_expect.exe msgbox_watch.exe PICTURE.png
set -uo pipefail

if [ $# -ne 5 ]; then
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
prefix=$1 exe=$2 expect=$3 watch=$4 picture=$5

for tool in wine xvfb-run import; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing; ./dev wine installs it"
        exit 77
    fi
done
if [ -z "${WINQOR_SMOKE_DISPLAY:-}" ]; then
    WINQOR_SMOKE_DISPLAY=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
passed=0 failed=0
check() {  # check WHAT EXPECTED ACTUAL
    if [ "$2" == "$3" ]; then
        passed=$((passed + 1))
        echo "ok   $1: $3"
    else
        failed=$((failed + 1))
        echo "FAIL $1: expected [$2], got [$3]"
    fi
}
field() { sed -n "s/^$1=//p" <<<"$2" | tr -d '\r'; }
finish() {
    wineserver -k 2>/dev/null
    echo "smoke: $passed passed, $failed failed"
    [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
    exit $?
}

expected=$(wine "$expect" | tr -d '\r')
echo "$expected" | sed -n 's/^info=/     system: /p'
mapfile -t statics < <(field static "$expected")
box=$(field box "$expected")
if [ -z "$box" ] || [ "$box" == unknown ]; then
    echo "FAIL the expected box cannot be told on this system"
    failed=1
    finish
fi

# Each box the watcher sees is checked the same way; PASS_OVER names a
# process whose boxes are not meant.
see_box() {  # see_box WHAT TEXT [PASS_OVER]
    local seen i
    # A watcher started while the program's first window makes the virtual
    # desktop may land on a desktop of its own: a fresh one looks again.
    for ((i = 0; i < 10; i++)); do
        seen=$(wine "$watch" wait 2000 ${3:-} | tr -d '\r') && break
    done
    if [ $i -eq 10 ]; then
        check "$1" "$2" "no box within 20 s"
        return 1
    fi
    check "$1" "$2" "$(field text "$seen")"
    check "$1, buttons" "OK" "$(field buttons "$seen")"
    check "$1, owner" "none" "$(field owner "$seen")"
    box_process=$(field process "$seen")
    box_rect=$(field rect "$seen")
}
press() {  # press WHAT [PASS_OVER]
    local out
    out=$(wine "$watch" press 10000 ${2:-} | tr -d '\r')
    check "$1, OK pressed" "pressed" "$out"
}
# Waits up to SECONDS for a background process; false when it still runs.
ended_within() {  # ended_within PID SECONDS
    local i
    for ((i = 0; i < $2 * 10; i++)); do
        kill -0 "$1" 2>/dev/null || return 0
        sleep 0.1
    done
    return 1
}

wine "$exe" &
first=$!
for text in "${statics[@]}"; do
    see_box "construction box" "$text" && press "construction box"
done
if see_box "start-up box" "$box"; then
    first_process=$box_process
    IFS=, read -r x y w h <<<"$box_rect"
    import -window root -crop "$((w + 48))x$((h + 48))+$((x - 24))+$((y - 24))" +repage "$picture" &&
        echo "     picture: $picture"

    # A second copy meanwhile: its static objects may speak, its checks not.
    wine "$exe" &
    second=$!
    for text in "${statics[@]}"; do
        see_box "second copy's construction box" "$text" "$first_process" &&
            press "second copy's construction box" "$first_process"
    done
    if ended_within "$second" 15; then
        wait "$second"
        check "second copy ends by itself" "yes" "yes"
    else
        check "second copy ends by itself" "yes" "still running after 15 s"
        kill "$second" 2>/dev/null
    fi
    check "boxes open after the second copy" "count=1" "$(wine "$watch" count | tr -d '\r')"

    press "start-up box"
fi
if ended_within "$first" 15; then
    wait "$first"
    check "program ends after OK" "yes" "yes"
else
    check "program ends after OK" "yes" "still running after 15 s"
fi
finish

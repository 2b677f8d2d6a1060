#!/usr/bin/env bash
# One window process per session, on a private session bus: a second
# `quorvane gui A B` hands the pair to the running process and exits 0; the
# same pair in the other order opens no second window; a new pair, given
# with relative paths from another folder, opens one more.
#   single_instance_check.sh BIN_DIR
set -euo pipefail
fail() { echo "single_instance_check: $*" >&2; exit 1; }

if [ "${1:-}" != "--inside" ]; then
    bin="$(cd "$1" && pwd)"
    for tool in dbus-run-session dbus-send; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
    done
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/A" "$work/B" "$work/C" "$work/tmp"
    # A home of its own: no windows of an earlier session come back, no real temporaries are touched.
    export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen
    unset DISPLAY WAYLAND_DISPLAY
    dbus-run-session -- "$0" --inside "$bin" "$work"
    exit $?
fi

bin="$2"
work="$3"
# The left and right path of every window of the running process, one a line.
pairs() {
    dbus-send --session --print-reply=literal --reply-timeout=5000 --dest=org.quorvane.Quorvane \
        /org/quorvane/Quorvane org.quorvane.Quorvane.Application.Comparisons 2>/dev/null |
        grep -o "$work/[A-Z]" || true
}
# Waits (at most 15 s) until the running process shows `count` windows.
wait_for_windows() {
    local want=$(( $1 * 2 ))
    for _ in $(seq 150); do
        [ "$(pairs | wc -l)" -eq "$want" ] && return 0
        kill -0 "$first" 2>/dev/null || fail "the first process ended"
        sleep 0.1
    done
    fail "expected $1 window(s), the process shows: $(pairs | tr '\n' ' ')"
}

"$bin/quorvane-gui" "$work/A" "$work/B" 2>"$work/first.log" &
first=$!
trap 'kill "$first" 2>/dev/null || true; wait "$first" 2>/dev/null || true' EXIT
wait_for_windows 1
[ "$(pairs | tr '\n' ' ')" = "$work/A $work/B " ] || fail "the first window does not compare A with B"

# The second start forwards and ends at once with success (a second window process would not end), whatever order its paths come in.
start=$(date +%s%N)
timeout 20 "$bin/quorvane" gui "$work/B" "$work/A" || fail "a second quorvane gui exited with $?"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
sleep 0.6   # longer than the gathering of handed-in paths
wait_for_windows 1
kill -0 "$first" 2>/dev/null || fail "the first process ended"

(cd "$work" && timeout 20 "$bin/quorvane" gui A C) || fail "a start with relative paths exited with $?"
wait_for_windows 2
pairs | grep -qx "$work/C" || fail "the new pair did not arrive with absolute paths"
echo "single_instance_check: one process, pairs forwarded (second start took ${elapsed_ms} ms)"

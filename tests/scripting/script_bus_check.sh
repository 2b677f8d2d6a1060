#!/usr/bin/env bash
# The scripting interface as an outside program sees it, on a private
# session bus: `quorvane script` starts the application without a window,
# gdbus calls its methods; every refusal with its bus error name and text,
# compare → sync → execute → compare again, the error lines of a failed
# action, a second request answering the waiting one, the numbers of the
# comparisons, one comparison shown on Qt's offscreen screen, and the
# changes of values announced with PropertiesChanged.
#   script_bus_check.sh BIN_DIR
set -euo pipefail
# SCRIPT_BUS_TRACE=FILE: every step traced into FILE.
if [ -n "${SCRIPT_BUS_TRACE:-}" ]; then exec 9>>"$SCRIPT_BUS_TRACE"; BASH_XTRACEFD=9; set -x; fi
fail() { echo "script_bus_check: $*" >&2; exit 1; }

if [ "${1:-}" != "--inside" ]; then
    bin="$(cd "$1" && pwd)"
    for tool in dbus-run-session gdbus; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
    done
    work="$(mktemp -d)"
    trap 'chattr -i "$work/R/locked" 2>/dev/null || true; chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"' EXIT
    mkdir -p "$work/tmp"
    export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" TMPDIR="$work/tmp" QT_QPA_PLATFORM=offscreen
    unset DISPLAY WAYLAND_DISPLAY
    status=0
    dbus-run-session -- "$0" --inside "$bin" "$work" || status=$?
    # The application started for the scripts ends with the session's bus.
    if [ -s "$work/server.pid" ]; then
        pid="$(cat "$work/server.pid")"
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        if kill -0 "$pid" 2>/dev/null; then
            kill "$pid"
            fail "the application started for scripts outlived its session bus"
        fi
    fi
    exit $status
fi

bin="$2"
work="$3"
dest=org.quorvane.Quorvane
app=/org/quorvane/Quorvane
iface=org.quorvane.Quorvane.Scripting

server_pid() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.GetConnectionUnixProcessID "$dest" 2>/dev/null | grep -o '[0-9]\+' | tail -1
}
# Left running: the outer half checks that it ends with the bus.
cleanup() { server_pid >"$work/server.pid" || true; }
trap cleanup EXIT

# gdbus call of a scripting method with a dictionary of parameters.
call() { gdbus call --session --timeout 60 --dest "$dest" --object-path "$app" --method "$iface.$1" "$2"; }
prop() {
    gdbus call --session --dest "$dest" --object-path "$app/Comparisons/$1" \
        --method org.freedesktop.DBus.Properties.Get org.quorvane.Quorvane.Comparison "$2"
}
# Refusal: the bus error carries the number in its name and the text word for word.
refused() {
    local method="$1" params="$2" number="$3" text="$4" out name
    if out="$(call "$method" "$params" 2>&1)"; then fail "$method $params was accepted: $out"; fi
    name="org.quorvane.Quorvane.Error.Minus${number#-}"
    [ "$number" -gt 0 ] && name="org.quorvane.Quorvane.Error.Code$number"
    local want="GDBus.Error:$name: $text"
    grep -qxF "Error: $want" <<<"$out" || fail "$method $params: expected '$want', got '$out'"
}

mkdir -p "$work/L/sub" "$work/R/locked" "$work/L/locked"
echo one >"$work/L/a.txt"
echo two >"$work/L/sub/b.txt"
echo changed-on-the-right >"$work/R/a.txt"
echo extra >"$work/R/extra.txt"

# 1. The command line starts the application without a window and gets number 1.
# Its stderr is captured too: the application it starts must not hold the pipe open after it.
json="$(timeout 60 "$bin/quorvane" script compare "Left=$work/L" "Right=$work/R" ShowUI=false --json 2>&1)" ||
    fail "the first scripted compare failed"
grep -q '"Comparison":1,' <<<"$json" || fail "the first comparison is not number 1: $json"
grep -q '"Differences":3,' <<<"$json" || fail "expected 3 differences: $json"
plain="$(timeout 60 "$bin/quorvane" script compare Comparison=1)" || fail "the plain compare failed"
grep -qx 'Comparison 1: 3 differences, 0 actions, 0 errors' <<<"$plain" || fail "plain output: $plain"
gdbus introspect --session --dest "$dest" --object-path "$app/Comparisons/1" | grep -q "readonly t Differences" ||
    fail "the comparison object does not show its Differences"
gdbus introspect --session --dest "$dest" --object-path "$app" | grep -q "Compare(in  a{sv} parameters" ||
    fail "the application object does not show the Compare method"

# 2. Every refusal of the table.
refused Compare "{'Comparison': <1>, 'Left': <'$work/L'>}" -1708 \
    "Specify either a comparison or left/right files/folders, not both or neither."
refused Compare "{'Left': <'$work/L'>}" -1715 "Both left and right files/folders must be specified."
refused Compare "{'Left': <'$work/L'>, 'Right': <'$work/nothing'>}" -1715 \
    "The left or right path does not exist or is not accessible."
refused Compare "{'Left': <'$work/L'>, 'Right': <'$work/L/a.txt'>}" -1708 \
    "Specify either two folders or two files to compare. Mixing files and folders is not supported."
refused Sync "{'SyncType': <'SyMr'>, 'Direction': <'SyLR'>}" -1708 \
    "Specify either a comparison or left/right folders, not both or neither."
refused Sync "{'Right': <'$work/R'>, 'SyncType': <'SyMr'>, 'Direction': <'SyLR'>}" -1715 \
    "Both left and right folders must be specified."
refused Sync "{'Comparison': <1>, 'SyncType': <'SyMr'>}" -1715 "Both sync type and direction must be specified."
refused Sync "{'Comparison': <1>, 'SyncType': <'SyMr'>, 'Direction': <'SyBo'>}" -1708 \
    '"both directions" is only valid with update sync, not mirror.'
refused Execute "{'Comparison': <1>, 'ArchiveToTrash': <true>, 'NoArchive': <true>}" -1708 \
    "Specify at most one of: archive to trash, archive to folder, no archive."
refused Execute "{'NoArchive': <true>}" -1715 "A comparison must be specified."
refused Close "{}" -1708 "A comparison must be specified."
# Wrong kinds of values are refused too, and leave no comparison behind.
refused Compare "{'Left': <5>, 'Right': <'$work/R'>}" -1700 'The value of "Left" must be a path.'
refused Compare "{'Left': <'$work/L'>, 'Right': <'$work/R'>, 'Colour': <true>}" -1701 \
    'The command has no parameter "Colour".'
refused Sync "{'Comparison': <1>, 'SyncType': <'SyXx'>, 'Direction': <'SyLR'>}" -1700 '"SyXx" is not a value of "SyncType".'
refused Compare "{'Left': <b'$work/L\\xff'>, 'Right': <'$work/R'>}" -1700 \
    'The path of "Left" must be valid UTF-8 text without line breaks.'
[ "$(gdbus call --session --dest "$dest" --object-path "$app" --method org.freedesktop.DBus.Properties.Get "$iface" Comparisons)" = \
    "(<[objectpath '$app/Comparisons/1']>,)" ] || fail "refused commands left comparisons behind"

# 3. Mirror left to right, execute, compare again: nothing differs; the locked folder's copy fails.
echo locked-copy >"$work/L/locked/c.txt"
if [ "$(id -u)" = 0 ]; then chattr +i "$work/R/locked" || fail "cannot make the destination unwritable"
else chmod a-w "$work/R/locked"; fi
call Sync "{'Comparison': <1>, 'SyncType': <'SyMr'>, 'Direction': <'SyLR'>, 'DeleteExtraItems': <true>}" >/dev/null
call Compare "{'Comparison': <1>}" >/dev/null   # the new file in the locked folder joins the plan
call Sync "{'Comparison': <uint32 1>, 'SyncType': <'SyMr'>, 'Direction': <'SyLR'>}" | grep -qF "'$app/Comparisons/1'" ||
    fail "sync did not answer with the comparison"
[ "$(prop 1 Actions)" = "(<uint64 4>,)" ] || fail "expected 4 actions, got $(prop 1 Actions)"
out="$(call Execute "{'Comparison': <objectpath '$app/Comparisons/1'>, 'NoArchive': <true>}" 2>&1)"
[ "$out" = "(true,)" ] || fail "execute did not complete: $out"
prop 1 Errors | grep -q "'c.txt - " || fail "the failed copy is not among the errors: $(prop 1 Errors)"
if [ "$(id -u)" = 0 ]; then chattr -i "$work/R/locked"; else chmod u+w "$work/R/locked"; fi
rm "$work/L/locked/c.txt"
out="$(timeout 60 "$bin/quorvane" script compare Comparison=1 --json)" || fail "compare again failed"
grep -q '"Differences":0,' <<<"$out" || fail "differences remain after the mirror: $out"
[ "$(cat "$work/R/a.txt")" = one ] && [ ! -e "$work/R/extra.txt" ] || fail "the right side was not mirrored"
# the command line reports refusals on stderr with exit status 1, and nothing
# else: a client that ends right after a refusal once left Qt's bus thread
# warning about "an invalid type" (now and then, so several are tried)
if "$bin/quorvane" script execute NoArchive=true 2>"$work/err.txt"; then fail "execute without a comparison succeeded"; fi
[ "$(cat "$work/err.txt")" = "error -1715: A comparison must be specified." ] ||
    fail "unexpected refusal text: $(cat "$work/err.txt")"
# Without a session bus there is nobody to send the command to, and it says so.
if out="$(DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" "$bin/quorvane" script compare Comparison=1 2>&1)"; then
    fail "a command without a session bus succeeded: $out"
fi
grep -qF "no session bus" <<<"$out" || fail "a command without a session bus: $out"
for _ in $(seq 10); do
    if "$bin/quorvane" script close Comparison=99 2>"$work/err.txt"; then fail "closing comparison 99 succeeded"; fi
    [ "$(cat "$work/err.txt")" = "error -1728: There is no open comparison 99." ] ||
        fail "a refused close printed more than its refusal: $(cat "$work/err.txt")"
done

# 4. Numbers: 2 and 3 follow, a closed one is gone for good (after 3 s) and not given again.
n2="$(call Compare "{'Left': <'$work/L'>, 'Right': <'$work/R'>, 'ShowUI': <false>}")"
n3="$(call Compare "{'Left': <'$work/L'>, 'Right': <'$work/R'>}")"   # shown, on the offscreen screen
[ "$n2" = "(objectpath '$app/Comparisons/2',)" ] && [ "$n3" = "(objectpath '$app/Comparisons/3',)" ] ||
    fail "expected comparisons 2 and 3, got $n2 $n3"
[ "$(prop 3 ShowUI)" = "(<true>,)" ] || fail "comparison 3 does not show its window"
call Close "{'Comparison': <2>}" >/dev/null
gdbus call --session --dest "$dest" --object-path "$app" --method org.freedesktop.DBus.Properties.Get "$iface" Comparisons |
    grep -q "Comparisons/2'" || fail "a closed comparison left the list before its 3 s"
sleep 3.3
refused Sync "{'Comparison': <2>, 'SyncType': <'SyMr'>, 'Direction': <'SyLR'>}" -1728 "There is no open comparison 2."
[ "$(call Compare "{'Left': <'$work/L'>, 'Right': <'$work/R'>, 'ShowUI': <false>}")" = "(objectpath '$app/Comparisons/4',)" ] ||
    fail "the next comparison is not number 4"

# A comparison the application could not compare answers with its code, takes
# a number (5) and closes itself: the caller never learnt it.
refused Compare "{'Left': <'$work/L'>, 'Right': <'$work/L'>, 'ShowUI': <false>}" 1 \
    "The specified folders could not be compared."
sleep 3.3
gdbus call --session --dest "$dest" --object-path "$app" --method org.freedesktop.DBus.Properties.Get "$iface" Comparisons |
    grep -q "Comparisons/5'" && fail "the comparison that could not be compared stayed open"

# 5. A second compare on a comparison still comparing answers the first with NO.
mkdir -p "$work/BL" "$work/BR"
# Enough files, read by contents, that the first request is still waiting when the second comes.
python3 - "$work/BL" "$work/BR" <<'PY'
import os, sys
for root in sys.argv[1:]:
    for d in range(100):
        os.makedirs(f"{root}/d{d}", exist_ok=True)
        for f in range(200):
            with open(f"{root}/d{d}/f{f}", "w") as out:
                out.write("x" * 64)
PY
call Compare "{'Left': <'$work/BL'>, 'Right': <'$work/BR'>, 'ShowUI': <false>, 'ByContent': <true>}" >/dev/null
first_out="$work/first.out"
# On a busy machine the first run can end before the second request is
# sent; that attempt proves nothing either way and is made again.
for attempt in 1 2 3; do
    ( call Compare "{'Comparison': <6>}" >"$first_out" 2>&1 || true ) &
    first=$!
    for _ in $(seq 300); do [ "$(prop 6 State)" = "(<'comparing'>,)" ] && break; sleep 0.01; done
    second="$(call Compare "{'Comparison': <6>, 'ByContent': <false>}")"
    wait "$first"
    grep -qxF "(objectpath '$app/Comparisons/6',)" "$first_out" || break
    [ "$attempt" -lt 3 ] || fail "the first compare ended before the second came, three times"
done
grep -qxF "Error: GDBus.Error:org.quorvane.Quorvane.Error.Minus1708: The comparison could not be re-run." "$first_out" ||
    fail "the waiting compare was not answered with NO: $(cat "$first_out")"
[ "$second" = "(objectpath '$app/Comparisons/6',)" ] || fail "the second compare failed: $second"

# 6. Values are announced as they change (PropertiesChanged): a new
# comparison's differences and state, a plan's actions, an execution's end,
# and the application's list of comparisons (named, to be read again); a
# value that did not change is not sent again.
mkdir -p "$work/PL" "$work/PR"
echo left >"$work/PL/p.txt"
echo right-side >"$work/PR/p.txt"
gdbus monitor --session --dest "$dest" >"$work/signals.txt" 2>&1 &
monitor=$!
for _ in $(seq 100); do grep -q "is owned by" "$work/signals.txt" && break; sleep 0.05; done
n="$(call Compare "{'Left': <'$work/PL'>, 'Right': <'$work/PR'>, 'ShowUI': <false>}" | grep -o 'Comparisons/[0-9]*' | cut -d/ -f2)"
[ -n "$n" ] || fail "the comparison for the announcements was not made"
call Sync "{'Comparison': <$n>, 'SyncType': <'SyMr'>, 'Direction': <'SyLR'>}" >/dev/null
call Execute "{'Comparison': <$n>, 'NoArchive': <true>}" >/dev/null
# The values of comparison n as announced, one line per signal.
announced() { grep -F "$app/Comparisons/$n: org.freedesktop.DBus.Properties.PropertiesChanged ('org.quorvane.Quorvane.Comparison'," "$work/signals.txt" || true; }
for _ in $(seq 100); do announced | grep -qF "'State': <'executed'>" && break; sleep 0.05; done
kill "$monitor"
[ "$(announced | grep -cF "'Differences': <uint64 1>")" = 1 ] ||
    fail "the difference was not announced exactly once: $(announced)"
announced | grep -qF "'Actions': <uint64 1>" || fail "the planned action was not announced: $(announced)"
announced | grep -qF "'Left': <'$work/PL'>" || fail "the left folder was not announced: $(announced)"
states="$(announced | grep -o "'State': <'[a-z]*'>" | cut -d"'" -f4 | tr '\n' ' ')"
[[ "$states" =~ ^comparing\ compared\ planning\ planned\ (executing\ )?executed\ $ ]] ||
    fail "states announced out of order or more than once: $states"
[ "$(prop "$n" State)" = "(<'executed'>,)" ] || fail "the last state announced is not the one read"
grep -qF "$app: org.freedesktop.DBus.Properties.PropertiesChanged ('$iface', @a{sv} {}, ['Comparisons'])" "$work/signals.txt" ||
    fail "the list of comparisons was not announced as changed: $(cat "$work/signals.txt")"

echo "script_bus_check: every refusal, compare → sync → execute → equal, error lines, numbering, hand-over and announced changes checked"

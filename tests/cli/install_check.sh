#!/usr/bin/env bash
# What `cmake --install` delivers, as a user's system reads it: the program,
# a manual page that man renders with every command in it, and a bash
# completion that completes commands and each command's options.
#   install_check.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install_check: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
q="$prefix/bin/quorvane"
[ -x "$q" ] || fail "no program in $prefix/bin"
# Outputs are read whole before grep -q looks at them: grep leaving early would
# break the pipe of a writer still writing, and pipefail would fail the check.
version="$(XDG_CONFIG_HOME="$prefix/config" "$q" --version)" || fail "the installed program does not run"
grep -q '^quorvane ' <<<"$version" || fail "the installed program does not name itself"
# update runs in a program installed beside it: a bad verb is its usage error (2), a missing program another.
updated="$(XDG_CONFIG_HOME="$prefix/config" "$q" update nonsense 2>&1)" && fail "a bad update verb was accepted"
grep -q 'quorvane-update' <<<"$updated" && fail "the installed program cannot start its update program: $updated"
[ -x "$prefix/bin/quorvane-update" ] || fail "no update program in $prefix/bin"
# script reaches the application through a module in lib/quorvane: without a bus it says
# so, not that the module is missing.
[ -f "$prefix/lib/quorvane/libquorvane-bus.so" ] || fail "no bus module in $prefix/lib/quorvane"
scripted="$(DBUS_SESSION_BUS_ADDRESS="unix:path=$prefix/no-bus" XDG_CONFIG_HOME="$prefix/config" "$q" script compare Comparison=1 2>&1)" &&
    fail "a script without a bus succeeded"
grep -q 'libquorvane-bus' <<<"$scripted" && fail "the installed program cannot load its bus module: $scripted"

page="$prefix/share/man/man1/quorvane.1"
[ -f "$page" ] || fail "no manual page at share/man/man1"
text="$(MANWIDTH=200 man -l "$page" 2>/dev/null)" || fail "man cannot render $page"
commands="$(XDG_CONFIG_HOME="$prefix/config" "$q" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z]\+\) .*/\1/p')"
[ -n "$commands" ] || fail "the help lists no commands"
for c in $commands; do
    grep -q "quorvane $c" <<<"$text" || fail "the manual page lacks the command $c"
done
grep -q -- '--exclude-from' <<<"$text" || fail "the manual page lacks the commands' options"
grep -q 'EXIT STATUS' <<<"$text" || fail "the manual page lacks its exit status section"

completion="$prefix/share/bash-completion/completions/quorvane"
[ -f "$completion" ] || fail "no completion at share/bash-completion/completions"
[ -f /usr/share/bash-completion/bash_completion ] || { echo "bash-completion is not installed"; exit 77; }
# Completes LINE (the cursor at its end) and prints the candidates, one a line.
complete_line() {
    bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        read -r -a COMP_WORDS <<<"$2"
        [[ "$2" == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="$2" COMP_POINT=${#2}
        _quorvane quorvane "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$1"
}
for c in $commands; do
    grep -qx "$c" <<<"$(complete_line "quorvane ${c:0:3}")" || fail "quorvane ${c:0:3}<TAB> does not offer $c"
done
grep -qx -- '--exclude-from' <<<"$(complete_line "quorvane compare --exc")" || fail "compare --exc<TAB> does not offer --exclude-from"
grep -qx -- '--force' <<<"$(complete_line "quorvane diff --merge x y --fo")" || fail "diff --fo<TAB> does not offer --force"
grep -qx csv <<<"$(complete_line "quorvane export --format ")" || fail "export --format <TAB> does not offer csv"
grep -qx SyncType=SyMr <<<"$(complete_line "quorvane script sync SyncType=SyM")" ||
    fail "script sync SyncType=SyM<TAB> does not offer SyncType=SyMr"
echo "install_check: program, manual page and completion installed"

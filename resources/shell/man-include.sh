#!/bin/sh
# Writes the help2man include file of the manual page: every command's own
# help, as the command prints it, under COMMANDS.  $1: the quorvane binary.
set -eu
q="$1"
printf '[COMMANDS]\n'
for c in compare export diff sync actions "snapshot record" "snapshot show" "snapshot extract-json" \
         history settings rules "rules add" "rules remove" "tags get" "tags set" "update check" "update install" script gui; do
    printf '.SS "quorvane %s"\n.nf\n' "$c"
    # shellcheck disable=SC2086
    "$q" $c --help | sed -e 's/\\/\\\\/g' -e 's/^\./\\\&./'
    printf '.fi\n'
done
printf '\n[EXIT STATUS]\n0 equal (or done), 1 different (or some row failed), 2 error before any change, 130 interrupted.\n'
printf '\n[ENVIRONMENT]\nXDG_CONFIG_HOME (settings), NO_COLOR and TERM=dumb (no colour), DISPLAY and WAYLAND_DISPLAY (the window), QV_UPDATE_URL (the release folder), QV_INSTALL_DIR (the program folder an update replaces).\n'

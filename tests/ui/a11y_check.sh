#!/bin/sh
# a11y_check.sh GUI MESSAGES SAMPLES: starts the window on the samples inside a
# private session bus with the accessibility bus, and reads it as a screen
# reader would (a11y_check.py). Exit 77 (skipped) when the tools are missing.
set -u
gui=$1 messages=$2 samples=$3
here=$(dirname "$0")
command -v dbus-run-session >/dev/null && [ -x /usr/libexec/at-spi-bus-launcher ] && /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || exit 77
if [ -z "${DISPLAY:-}" ]; then
  command -v xvfb-run >/dev/null || exit 77
  exec xvfb-run -a -s '-screen 0 1280x800x24' "$0" "$@"
fi
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${QV_A11Y_SESSION:-}" ]; then
  QV_A11Y_SESSION=1 exec dbus-run-session -- "$0" "$@"
fi
unset QT_QPA_PLATFORM
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
sleep 1
home=$(mktemp -d)
# A home of its own: the window's start-up clean-up of old temporaries must not touch the machine's.
XDG_CONFIG_HOME=$home XDG_DATA_HOME=$home/data TMPDIR=$home QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$gui" "$samples/left" "$samples/right" --start >/dev/null 2>&1 &
window=$!
/usr/bin/python3 "$here/a11y_check.py" "$messages"
status=$?
kill $window $bus 2>/dev/null
wait $window 2>/dev/null
rm -rf "$home"
exit $status

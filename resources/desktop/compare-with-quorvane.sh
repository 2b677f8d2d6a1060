#!/bin/sh
# Nautilus script: compares the two selected items in Quorvane. Nautilus runs
# it in the folder shown, with the selected names as arguments. Enable it with
#   ln -s /usr/share/quorvane/nautilus/"Compare with Quorvane" ~/.local/share/nautilus/scripts/
exec quorvane-gui --start "$@"

#!/usr/bin/env bash
# What `cmake --install` gives a desktop, checked as desktops read it: the
# entry and the AppStream description pass their validators and name an
# installed program and icon; the icon exists at every size; a recorded
# snapshot is recognised as application/x-quorvane-snapshot by its name and
# by its first bytes; the file managers' entries hand the selection over.
#   desktop_check.sh BUILD_DIR
set -euo pipefail
build="$1"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
fail() { echo "desktop_check: $*" >&2; exit 1; }
for tool in desktop-file-validate appstreamcli update-mime-database gio; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done

cmake --install "$build" --prefix "$prefix" >/dev/null
share="$prefix/share"
id=org.quorvane.Quorvane

entry="$share/applications/$id.desktop"
[ -f "$entry" ] || fail "no desktop entry"
out="$(desktop-file-validate "$entry" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate warns: $out"
grep -qx 'MimeType=inode/directory;application/x-quorvane-snapshot;' "$entry" || fail "the entry does not open folders and snapshots"
grep -q '^Exec=quorvane-gui --start %U$' "$entry" || fail "the compare action does not start a comparison"
while read -r program; do
    [ -x "$prefix/bin/$program" ] || fail "the entry runs $program, which is not installed"
done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")

meta="$share/metainfo/$id.metainfo.xml"
[ -f "$meta" ] || fail "no AppStream metainfo"
out="$(appstreamcli validate --no-net --explain "$meta" 2>&1)" || fail "appstreamcli validate: $out"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$meta" || fail "the metainfo does not launch the entry"
grep -q '<release version="[0-9.]*" date="[0-9-]*"/>' "$meta" || fail "the metainfo has no dated release"

[ -f "$share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"
for size in 16 24 32 48 64 128 256; do
    png="$share/icons/hicolor/${size}x${size}/apps/$id.png"
    [ -f "$png" ] || fail "no ${size}px icon"
    file "$png" | grep -q "PNG image data, $size x $size" || fail "the ${size}px icon is $(file -b "$png")"
done

# The type as a desktop's file manager finds it, from the installed database only.
[ -f "$share/mime/packages/quorvane.xml" ] || fail "no MIME package"
update-mime-database "$share/mime"
mkdir -p "$prefix/tree/sub"
echo hello > "$prefix/tree/sub/a.txt"
XDG_CONFIG_HOME="$prefix/config" "$prefix/bin/quorvane" snapshot record "$prefix/tree" "$prefix/s.qvss" >/dev/null 2>&1
cp "$prefix/s.qvss" "$prefix/unnamed"
type_of() { XDG_DATA_HOME="$prefix/nohome" XDG_DATA_DIRS="$share" gio info -a standard::content-type "$1" 2>/dev/null | sed -n 's/.*standard::content-type: //p'; }
[ "$(type_of "$prefix/s.qvss")" = application/x-quorvane-snapshot ] || fail "a .qvss file is $(type_of "$prefix/s.qvss")"
[ "$(type_of "$prefix/unnamed")" = application/x-quorvane-snapshot ] || fail "a snapshot without its extension is $(type_of "$prefix/unnamed")"

# The file managers' entries run the window program on the selection, comparing at once.
menu="$share/kio/servicemenus/quorvane-compare.desktop"
[ -x "$menu" ] || fail "no executable Dolphin service menu"
grep -q '^Exec=quorvane-gui --start %U$' "$menu" || fail "the Dolphin menu does not compare the selection"
script="$share/quorvane/nautilus/Compare with Quorvane"
[ -x "$script" ] || fail "no executable Nautilus script"
mkdir -p "$prefix/fake"
printf '#!/bin/sh\nprintf "%%s\\n" "$@"\n' > "$prefix/fake/quorvane-gui"
chmod +x "$prefix/fake/quorvane-gui"
got="$(cd "$prefix/tree" && PATH="$prefix/fake:$PATH" "$script" "sub" "a name with spaces")"
[ "$got" = "$(printf -- '--start\nsub\na name with spaces')" ] || fail "the Nautilus script passed: $got"
echo "desktop_check: entry, metainfo, icons, MIME type and file-manager menus installed"

#!/usr/bin/env bash
# cmake --install into a temporary prefix puts the executable, the desktop
# entry, the icons and the AppStream file in their standard places, and the
# installed copy keeps its settings files in the per-user data folder.
set -u
exe=$1
build=$(dirname "$exe")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
prefix=$dir/prefix
cmake --install "$build" --prefix "$prefix" >"$dir/log" 2>&1 || { cat "$dir/log"; exit 1; }
id=net.kelplineworks.Reefdart
for f in bin/reefdart share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/16x16/apps/$id.png share/icons/hicolor/32x32/apps/$id.png \
    share/icons/hicolor/48x48/apps/$id.png; do
    [ -f "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
[ -x "$prefix/bin/reefdart" ] || { echo "bin/reefdart cannot be run"; exit 1; }
for size in 16 32 48; do
    got=$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")
    [ "$got" = "${size}x${size}" ] || { echo "the ${size} px icon is $got"; exit 1; }
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/$id.desktop" || exit 1
fi
grep -q "<id>$id</id>" "$prefix/share/metainfo/$id.metainfo.xml" || { echo "metainfo id"; exit 1; }
grep -q "^Icon=$id$" "$prefix/share/applications/$id.desktop" || { echo "desktop icon"; exit 1; }

# The installed copy's bin folder can be written here, yet its files go to
# the per-user folder.
mkdir -p "$dir/home"
echo "wait 1500" >"$dir/run.script"
HOME=$dir/home XDG_DATA_HOME= "$prefix/bin/reefdart" --headless "$dir/run.script" ||
    { echo "the installed copy did not run"; exit 1; }
[ -f "$dir/home/.local/share/reefdart/record.dat" ] ||
    { echo "no settings files in the per-user folder"; ls -R "$dir"; exit 1; }
[ ! -e "$prefix/bin/record.dat" ] || { echo "settings files beside the installed executable"; exit 1; }
HOME=$dir/home XDG_DATA_HOME= "$prefix/bin/reefdart" --help | grep -q "$dir/home/.local/share/reefdart" ||
    { echo "--help does not name the per-user folder"; exit 1; }
echo "installed and ran from $prefix"

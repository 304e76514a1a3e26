#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop needs of it:
#   install_test.sh <build dir> <application id> <version>
set -euo pipefail
build=$1
id=$2
version=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/tollenby \
    "share/applications/$id.desktop" \
    "share/metainfo/$id.metainfo.xml" \
    "share/icons/hicolor/scalable/apps/$id.svg" \
    "share/icons/hicolor/256x256/apps/$id.png"; do
    [ -s "$prefix/$file" ] || fail "$file was not installed"
done
[ -x "$prefix/bin/tollenby" ] || fail "bin/tollenby is not executable"

desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "the .desktop entry does not validate"
grep -qx "Icon=$id" "$prefix/share/applications/$id.desktop" || fail "the .desktop entry names another icon"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo does not validate"
grep -q "version=\"$version\"" "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo lacks release $version"

# A PNG of 256 x 256: the signature, then the IHDR chunk's width and height as big-endian words.
png="$prefix/share/icons/hicolor/256x256/apps/$id.png"
[ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "the icon is no PNG"
[ "$(head -c 24 "$png" | tail -c 8 | od -An -tx1 | tr -d ' \n')" = "0000010000000100" ] || fail "the icon is not 256 x 256"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$id.svg" || fail "the scalable icon is no SVG"

# The installed program answers without a display.
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tollenby" --version)
[ "$out" = "tollenby $version" ] || fail "tollenby --version printed '$out'"
echo "installed and validated in $prefix"

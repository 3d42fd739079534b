#!/usr/bin/env bash
# `cmake --install` into a prefix that is then moved elsewhere: the programs find their data
# and modules from where they are, and the desktop sees the album types and their program.
# Usage: install.sh BUILDDIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
prefix=$work/moved
for file in bin/lyrabinder bin/lyrabinder-cli bin/lyrabinder-thumbnailer \
    lib/lyrabinder/libwavpress.so lib/lyrabinder/liblame_enc.so \
    lib/lyrabinder/liblyrabinder-pictures.so share/lyrabinder/data/help/MP3.htm \
    share/lyrabinder/data/vrnprog2.gif share/man/man1/lyrabinder.1.gz \
    share/man/man1/lyrabinder-cli.1.gz share/thumbnailers/lyrabinder.thumbnailer \
    share/metainfo/org.example.lyrabinder.metainfo.xml share/icons/hicolor/48x48/apps/lyrabinder.png \
    share/bash-completion/completions/lyrabinder-cli; do
  [ -e "$prefix/$file" ] || fail "not installed: $file"
done

# The whole pipeline from the moved tree, the encoder bridge included.
out=$("$prefix/bin/lyrabinder-cli" demo "$work/demo") || fail "demo: $out"
grep -q "through libwavpress" <<<"$out" || fail "the installed demo did not find libwavpress: $out"
QT_QPA_PLATFORM=offscreen "$prefix/bin/lyrabinder" --version | grep -q "1.92" || fail "lyrabinder --version"

# Thumbnail of the demo album, as a file manager asks for it.
album=$(find "$work/demo" -maxdepth 1 -name '*_LB.MP3' | head -n 1)
"$prefix/bin/lyrabinder-thumbnailer" -s 128 "$album" "$work/thumb.png" || fail "thumbnailer"
file "$work/thumb.png" | grep -q "PNG image data, 128 x" || fail "thumbnail: $(file "$work/thumb.png")"

# The album types and the program that opens them, as xdg-mime sees them.
export XDG_DATA_DIRS=$prefix/share XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export XDG_CURRENT_DESKTOP=X-Generic
unset DESKTOP_SESSION KDE_FULL_SESSION GNOME_DESKTOP_SESSION_ID
update-mime-database "$prefix/share/mime"
update-desktop-database "$prefix/share/applications"
touch "$work/x_LB.MP3" "$work/y_lb.mp3" "$work/z_ALBW.MP3"
for name in x_LB.MP3 y_lb.mp3; do
  [ "$(xdg-mime query filetype "$work/$name")" = audio/x-lyrabinder-album ] ||
    fail "type of $name: $(xdg-mime query filetype "$work/$name")"
done
[ "$(xdg-mime query filetype "$work/z_ALBW.MP3")" = audio/x-albumwrap ] || fail "type of z_ALBW.MP3"
[ "$(xdg-mime query default audio/x-lyrabinder-album)" = lyrabinder.desktop ] ||
  fail "default: $(xdg-mime query default audio/x-lyrabinder-album)"
echo "install: 1 passed, 0 failed"

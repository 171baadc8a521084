#!/usr/bin/env bash
# Installs the build into a scratch prefix (DESTDIR) and starts the installed program headless,
# as a user would after `make install`: it must find its resources in <prefix>/share/tevrinemu,
# run the built-in ROM, make the user's configuration in $XDG_CONFIG_HOME/tevrinemu/ and write
# nothing below the prefix; and a configuration beside the executable must still win.
#   install_prefix.sh BUILD-DIR WORK-DIR
set -euo pipefail
build=$1
work=$2
rm -rf "$work"
mkdir -p "$work/home"
prefix=/opt/tevrin-test
root=$work/root
fail() { echo "install_prefix: $*" >&2; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  fail "cmake --install failed: $(cat "$work/install.log")"
installed=$root$prefix
for f in bin/tevrinemu bin/tevrin-tape bin/tevrin-asm bin/tevrin-disasm \
         share/tevrinemu/TevrinEmu.xml share/tevrinemu/tevrin.rom share/tevrinemu/Lang/english.ini \
         share/tevrinemu/Lang/german.ini share/applications/tevrinemu.desktop \
         share/mime/packages/tevrinemu.xml share/icons/hicolor/scalable/apps/tevrinemu.svg \
         share/icons/hicolor/scalable/mimetypes/application-x-tevrin-tape.svg; do
  [ -e "$installed/$f" ] || fail "$f was not installed"
done
# The Help menu's manual and every picture it shows, found as the window finds them.
[ -f "$installed/share/tevrinemu/doc/MANUAL.md" ] || fail "the manual was not installed"
for picture in $(grep -o '](manual/[^)]*)' "$installed/share/tevrinemu/doc/MANUAL.md" |
                 sed 's/^](//; s/)$//'); do
  [ -f "$installed/share/tevrinemu/doc/$picture" ] || fail "the manual's $picture was not installed"
done
for f in bin/tevrin-cpm bin/tevrin_core_tests bin/tevrin-bench bin/tevrin-desktop-files; do
  [ ! -e "$installed/$f" ] || fail "$f is installed, but is no part of the program"
done
grep -q '^Exec="tevrinemu" %f$' "$installed/share/applications/tevrinemu.desktop" ||
  fail "the desktop entry does not start tevrinemu"
grep -q 'type="application/x-tevrin-tape"' "$installed/share/mime/packages/tevrinemu.xml" ||
  fail "the MIME package lacks the tape type"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$installed/share/applications/tevrinemu.desktop" ||
    fail "the desktop entry is not valid"
fi

listing() { (cd "$root" && find . -printf '%p %s %T@ %m\n' | sort); }
listing >"$work/before"

# As a user: the home and configuration home in the scratch folder, started from elsewhere.
run() {
  (cd "$work" && env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
     "$installed/bin/tevrinemu" --headless --speed max --run-ms 1500 \
     --dump-mem "0x9C00:1024:$1" "${@:2}")
}
screen_shows_monitor() {
  tr -c '[:print:]' ' ' <"$1" | grep -q 'TEVRIN MONITOR' ||
    fail "the screen text at 9C00 does not show the monitor: $(tr -c '[:print:]' ' ' <"$1")"
}

run "$work/text.bin" >"$work/run1.log" 2>&1 || fail "the installed program failed: $(cat "$work/run1.log")"
screen_shows_monitor "$work/text.bin"
config=$work/config/tevrinemu/TevrinEmu.xml
[ -f "$config" ] || fail "no configuration was made in \$XDG_CONFIG_HOME/tevrinemu"
cmp -s "$config" "$installed/share/tevrinemu/TevrinEmu.xml" ||
  fail "the user's configuration is not the delivered one"
listing >"$work/after"
diff "$work/before" "$work/after" >"$work/prefix.diff" ||
  fail "the program wrote below the prefix: $(cat "$work/prefix.diff")"

# The user's file is kept on the next start, even when it cannot be used.
echo '<TevrinEmu version="0.0.0.0"/>' >"$config"
if run "$work/text2.bin" >"$work/run2.log" 2>&1; then fail "an old configuration was accepted"; fi
grep -q "Bad config file version" "$work/run2.log" || fail "no version message: $(cat "$work/run2.log")"
grep -qF "$config" "$work/run2.log" || fail "the message does not name $config"
[ "$(cat "$config")" = '<TevrinEmu version="0.0.0.0"/>' ] || fail "the user's configuration was replaced"

# A configuration beside the executable wins (portable use); the resources stay in share/.
rm -rf "$work/config"
cp "$installed/share/tevrinemu/TevrinEmu.xml" "$installed/bin/TevrinEmu.xml"
run "$work/text3.bin" >"$work/run3.log" 2>&1 || fail "with a configuration beside it: $(cat "$work/run3.log")"
screen_shows_monitor "$work/text3.bin"
[ ! -e "$work/config/tevrinemu" ] ||
  fail "a user configuration was made although one is beside the executable"
echo 'not xml' >"$installed/bin/TevrinEmu.xml"
if run "$work/text4.bin" >"$work/run4.log" 2>&1; then fail "a damaged configuration was accepted"; fi
grep -qF "$installed/bin/TevrinEmu.xml" "$work/run4.log" ||
  fail "the configuration used is not the one beside the executable: $(cat "$work/run4.log")"
echo "install_prefix: ok"

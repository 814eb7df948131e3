#!/usr/bin/env bash
# The installed program: `cmake --install` into a staging folder (DESTDIR), then
#   1. the tree holds the program folder exactly as built, the link on PATH, the desktop files;
#   2. the desktop entry, the AppStream data, the MIME package and the manual pass their checkers;
#   3. the program, started by the desktop entry's Exec line as a normal user, with its program folder
#      read-only and XDG folders of its own, shows its first page without an error box, closes by its
#      close button, exits 0 and has written its settings, in their usual bytes, under the XDG config folder.
# Runs on an X display (the suite starts it under xvfb-run with -ac, so that the dropped user can connect).
# Usage: install-test.sh BUILD_FOLDER
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d /tmp/kestrane-install.XXXXXX)
program_pid=
cleanup() {
    [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
    chmod -R u+w "$scratch" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT
chmod 755 "$scratch"
fail() { echo "FAIL: $*" >&2; exit 1; }

stage=$scratch/stage
usr=$stage/usr
DESTDIR=$stage cmake --install "$build" --prefix /usr > "$scratch/install.log" || {
    cat "$scratch/install.log"; fail "cmake --install"; }

echo "== the installed tree"
[ -L "$usr/bin/kestrane" ] || fail "bin/kestrane is not a link"
[ "$(readlink "$usr/bin/kestrane")" = ../lib/kestrane/kestrane ] || fail "bin/kestrane -> $(readlink "$usr/bin/kestrane")"
[ -x "$usr/bin/kestrane" ] || fail "bin/kestrane does not lead to an executable"
[ "$(readlink "$usr/bin/kestrane-cli")" = ../lib/kestrane/kestrane-cli ] || fail "bin/kestrane-cli -> $(readlink "$usr/bin/kestrane-cli")"
"$usr/bin/kestrane-cli" --version | grep -q '^kestrane-cli ' || fail "bin/kestrane-cli does not run"
# The program folder is the build's, file for file and byte for byte, minus the settings a run of the
# build tree may have left there.
(cd "$build/Kestrane" && find . -type f ! -name 'Kestrane_option.ini' ! -name 'Kestrane_skinfile.ini' | sort) \
    > "$scratch/built"
(cd "$usr/lib/kestrane" && find . -type f | sort) > "$scratch/installed"
diff -u "$scratch/built" "$scratch/installed" || fail "the program folder differs from the build's"
while read -r f; do
    cmp -s "$build/Kestrane/$f" "$usr/lib/kestrane/$f" || fail "$f differs from the build's"
done < "$scratch/built"
grep -qx './Kestrane_verdata.ini' "$scratch/installed" || fail "no version file"
grep -qx './Image/Kestrane.jpg' "$scratch/installed" || fail "no splash picture"

expected=(
    share/applications/kestrane.desktop
    share/metainfo/example.varnholt.Kestrane.metainfo.xml
    share/mime/packages/kestrane-filelist.xml
    share/man/man1/kestrane.1.gz
    share/man/man1/kestrane-cli.1.gz
    share/doc/kestrane/changelog.Debian.gz
    share/icons/hicolor/scalable/apps/kestrane.svg
    share/icons/hicolor/scalable/mimetypes/application-x-kestrane-filelist.svg
)
for size in 16 22 24 32 48 64 128 256; do
    for icon in apps/kestrane mimetypes/application-x-kestrane-filelist; do
        png=share/icons/hicolor/${size}x$size/$icon.png
        expected+=("$png")
        [ "$(identify -format '%wx%h' "$usr/$png" 2>/dev/null)" = "${size}x$size" ] || fail "$png is not ${size}x$size"
    done
done
# Nothing else: no test programs, libraries or tools leak into the install.
(cd "$usr" && find . \( -type f -o -type l \) ! -path './lib/kestrane/*' | sed 's|^\./||' | sort) > "$scratch/rest"
printf '%s\n' bin/kestrane bin/kestrane-cli "${expected[@]}" | sort > "$scratch/rest.expected"
diff -u "$scratch/rest.expected" "$scratch/rest" || fail "unexpected or missing files outside the program folder"
[ -z "$(find "$stage" -mindepth 1 -maxdepth 1 ! -name usr)" ] || fail "files installed outside the prefix"

echo "== desktop entry, AppStream data, MIME package, manual"
desktop-file-validate "$usr/share/applications/kestrane.desktop" || fail "desktop-file-validate"
# The program opens no file named on its command line: the entry offers none to open ("Open with").
! grep -Eq '^MimeType=|^Exec=.*%[fFuU]' "$usr/share/applications/kestrane.desktop" \
    || fail "the desktop entry offers to open files the program does not open"
appstreamcli validate --no-net "$usr/share/metainfo/example.varnholt.Kestrane.metainfo.xml" \
    || fail "appstreamcli validate"
mkdir -p "$scratch/mime/packages"
cp "$usr/share/mime/packages/kestrane-filelist.xml" "$scratch/mime/packages/"
update-mime-database "$scratch/mime" > /dev/null
grep -qx 'application/x-kestrane-filelist:\*.mst' <(cut -d: -f2- "$scratch/mime/globs2") \
    || fail "the MIME package does not give *.mst its type"
grep -qx 'application/x-kestrane-filelist:application-x-kestrane-filelist' "$scratch/mime/icons" \
    || fail "the MIME package does not name the type's icon"
man_warnings=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/kestrane.1.gz" 2>&1 > "$scratch/man.txt")
[ -z "$man_warnings" ] || fail "the manual has warnings: $man_warnings"
for word in -nosplash KESTRANE_VIRTUAL_DRIVES Kestrane_option.ini; do
    grep -q -- "$word" "$scratch/man.txt" || fail "the manual does not mention $word"
done
man_warnings=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/kestrane-cli.1.gz" 2>&1 > "$scratch/climan.txt")
[ -z "$man_warnings" ] || fail "the command line's manual has warnings: $man_warnings"
for word in make-iso --checksums --against --raw KESTRANE_VIRTUAL_DRIVES; do
    grep -q -- "$word" "$scratch/climan.txt" || fail "the command line's manual does not mention $word"
done

echo "== the installed program, as a normal user"
home=$scratch/home
mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
chmod 700 "$home/runtime"
chmod -R a-w "$usr/lib/kestrane"
drop=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R 65534:65534 "$home"
    drop=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
# The Exec line, without its field codes, resolved on a PATH that starts with the installed bin folder.
exec_line=$(sed -n 's/^Exec=//p' "$usr/share/applications/kestrane.desktop")
read -r -a command <<< "${exec_line//%[fFuUik]/}"
"${drop[@]}" env -i DISPLAY="$DISPLAY" PATH="$usr/bin:/usr/bin:/bin" HOME="$home" LANG=C.UTF-8 \
    XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" \
    XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=xcb "${command[@]}" > "$scratch/program.log" 2>&1 &
program_pid=$!

windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null || true; }
main=
for _ in $(seq 300); do
    main=$(windows '^Varnholt Kestrane$' | head -n1)
    [ -n "$main" ] && break
    kill -0 "$program_pid" 2>/dev/null || { cat "$scratch/program.log"; fail "the program ended at start"; }
    sleep 0.1
done
[ -n "$main" ] || fail "the main window did not appear"
# The splash and every message box carry the caption "Kestrane": once the splash has gone, any such
# window still shown is a box.
for _ in $(seq 200); do
    [ -z "$(windows '^Kestrane$')" ] && break
    sleep 0.1
done
[ -z "$(windows '^Kestrane$')" ] || { cat "$scratch/program.log"; fail "a message box is shown"; }

xdotool mousemove --window "$main" 685 22 click 1
for _ in $(seq 200); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$program_pid" 2>/dev/null; then
    cat "$scratch/program.log"
    fail "the program is still running after its close button (windows: $(windows '.' | xargs -r -n1 xdotool getwindowname | tr '\n' '|'))"
fi
status=0
wait "$program_pid" || status=$?
program_pid=
[ "$status" -eq 0 ] || { cat "$scratch/program.log"; fail "exit status $status"; }

settings=$home/config/Kestrane
[ "$(od -An -c "$settings/Kestrane_option.ini" | tr -s ' ')" = "$(printf '\r\n[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\n' | od -An -c | tr -s ' ')" ] \
    || fail "option file: $(od -c "$settings/Kestrane_option.ini" 2>&1)"
[ "$(od -An -c "$settings/Kestrane_skinfile.ini" | tr -s ' ')" = "$(printf '\r\n[data]\r\nskinfile=1\r\n' | od -An -c | tr -s ' ')" ] \
    || fail "skin file: $(od -c "$settings/Kestrane_skinfile.ini" 2>&1)"
grep -q "^Path=$usr/lib/kestrane/kestrane"$'\r'"\$" "$settings/registry.ini" || fail "registry: $(cat "$settings/registry.ini")"
(cd "$usr/lib/kestrane" && find . -type f | sort) | diff -u "$scratch/installed" - || fail "the program folder changed"
# The type the program registers for the user is the one the package installs for the system.
cmp "$home/data/mime/packages/kestrane-filelist.xml" "$usr/share/mime/packages/kestrane-filelist.xml" \
    || fail "the per-user MIME package differs from the installed one"
echo "PASS"

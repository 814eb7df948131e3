#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it:
#   - `cpack -G DEB`; `dpkg-deb --info` names the libraries the program links (found by dpkg-shlibdeps)
#     and `--contents` holds the program, its link on PATH and the desktop files, all owned by root;
#   - lintian's verdict is printed (errors fail the check);
#   - with --clean-root (needs root): a fresh Debian 12 root made with mmdebstrap from this machine's
#     sources; `apt-get install ./kestrane_*.deb` there; the program started by the desktop entry's Exec
#     line as a normal user under Xvfb (the screen is kept as package-check-shot.png in the current
#     folder), closed by its close button; `apt-get remove --purge`; nothing of the package may remain.
# Usage: tools/package-check.sh BUILD_FOLDER [--clean-root]
set -euo pipefail
build="$(cd "${1:?usage: package-check.sh BUILD_FOLDER [--clean-root]}" && pwd)"
clean_root="${2:-}"
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== cpack -G DEB"
rm -rf "$build"/kestrane_*.deb "$build/_CPack_Packages" # nothing from an earlier package
(cd "$build" && cpack -G DEB > cpack.log) || { cat "$build/cpack.log"; fail "cpack"; }
deb=$(ls "$build"/kestrane_*.deb)
echo "$deb"

echo "== dpkg-deb --info"
dpkg-deb --info "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6 libisofs6 libburn4 libc6 qt6-qpa-plugins; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] || fail "Depends lacks $library"
done
[ "$(dpkg-deb --field "$deb" Package)" = kestrane ] || fail "package name"
# Sticks are found through UDisks2; without it the program still burns discs, so it is recommended.
[[ ", $(dpkg-deb --field "$deb" Recommends)," == *", udisks2,"* ]] || fail "Recommends lacks udisks2"

echo "== dpkg-deb --contents"
dpkg-deb --contents "$deb" > "$build/deb-contents.txt"
cat "$build/deb-contents.txt"
for path in ./usr/bin/kestrane ./usr/lib/kestrane/kestrane ./usr/lib/kestrane/Kestrane_verdata.ini \
    ./usr/bin/kestrane-cli ./usr/lib/kestrane/kestrane-cli ./usr/share/man/man1/kestrane-cli.1.gz \
    ./usr/share/applications/kestrane.desktop ./usr/share/metainfo/example.varnholt.Kestrane.metainfo.xml \
    ./usr/share/mime/packages/kestrane-filelist.xml ./usr/share/man/man1/kestrane.1.gz \
    ./usr/share/icons/hicolor/48x48/apps/kestrane.png; do
    # Not `awk | grep -q`: grep leaving early would end awk by SIGPIPE, and pipefail would call it a miss.
    awk -v path="$path" '$6 == path {found = 1} END {exit !found}' "$build/deb-contents.txt" || {
        ls -la "$build"/_CPack_Packages/*/DEB/*/usr/bin >&2 || true
        fail "the package lacks $path"
    }
done
# Every picture of the main window, the splash and the About picture come with their drawing for HiDPI
# screens beside them.
awk '$6 ~ /^\.\/usr\/lib\/kestrane\/Image\/((Skin|Button\/|Strip\/|Label\/|List\/).*\.png|Kestrane(@2x)?\.jpg|About(@2x)?\.png)$/ {
        name = $6; if (name ~ /@2x\.(png|jpg)$/) high[name] = 1; else plain[name] = 1 }
    END { if (length(plain) == 0) { print "no main window pictures"; bad = 1 }
          for (name in plain) { h = name; sub(/\.(png|jpg)$/, "@2x&", h)
                                if (!(h in high)) { print "no " h; bad = 1 } }
          exit bad }' "$build/deb-contents.txt" || fail "the package lacks HiDPI pictures"
awk '$2 != "root/root" {print; bad=1} END {exit bad}' "$build/deb-contents.txt" || fail "files not owned by root"
grep -q ' ./usr/bin/kestrane -> ../lib/kestrane/kestrane$' "$build/deb-contents.txt" || fail "bin/kestrane link"
grep -q ' ./usr/bin/kestrane-cli -> ../lib/kestrane/kestrane-cli$' "$build/deb-contents.txt" || fail "bin/kestrane-cli link"

echo "== lintian"
if command -v lintian > /dev/null; then
    # Every tag is shown; errors fail the check, except the copyright file, which waits for the
    # project's licence to be chosen.
    lintian --display-info --pedantic "$deb" | sort | uniq -c | sort -rn | sed 's/^ *1 //' \
        | grep -v ' image-file-in-usr-lib ' || true
    echo "(and $(lintian --pedantic "$deb" | grep -c ' image-file-in-usr-lib ') times image-file-in-usr-lib)"
    lintian --fail-on error --suppress-tags no-copyright-file "$deb" > /dev/null || fail "lintian reports errors"
else
    echo "lintian is not installed"
fi

[ "$clean_root" = --clean-root ] || exit 0

echo "== a clean Debian 12 root"
[ "$(id -u)" -eq 0 ] || fail "--clean-root needs root (chroot and mounts)"
root=$(mktemp -d /var/tmp/kestrane-package.XXXXXX)
mounted=()
cleanup() {
    for (( i=${#mounted[@]}-1; i>=0; i-- )); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
    rm -rf "$root"
}
trap cleanup EXIT
sources=/etc/apt/sources.list.d/debian.sources
[ -f "$sources" ] || sources=/etc/apt/sources.list
# xvfb, xauth and xdotool stand in for the user's desktop and hand.
mmdebstrap --variant=apt --include=xvfb,xauth,xdotool bookworm "$root" "$sources"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sys "$root/sys" && mounted+=("$root/sys")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")
mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")
cp "$deb" "$root/tmp/"
in_root() { chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive bash -euo pipefail -c "$1"; }
snapshot='find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /var/cache \
    -o -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/log \) -prune -o -print | sort'

echo "== apt-get install ./$(basename "$deb")"
in_root "apt-get update -qq && apt-get install -y ./tmp/$(basename "$deb") 2>&1 | tail -n 3"
in_root "dpkg -L kestrane" > "$root/tmp/owned"
in_root "grep -q 'application/x-kestrane-filelist:\*.mst' /usr/share/mime/globs2" \
    || fail "the system MIME database does not know the list-file type after the install"

echo "== the program, from its menu entry, as a normal user"
# shellcheck disable=SC2016 # expanded by the root's shell
in_root '
    home=/tmp/home
    mkdir -p $home/runtime /tmp/fb && chmod 700 $home/runtime && chown -R 65534:65534 $home
    exec_line=$(sed -n "s/^Exec=//p" /usr/share/applications/kestrane.desktop)
    read -r -a command <<< "${exec_line//%[fFuUik]/}"
    xvfb-run -n 91 -s "-screen 0 1024x768x24 -ac -fbdir /tmp/fb" bash -c "
        setpriv --reuid=65534 --regid=65534 --clear-groups env -i DISPLAY=\$DISPLAY PATH=/usr/bin:/bin \
            HOME=$home XDG_RUNTIME_DIR=$home/runtime LANG=C.UTF-8 ${command[*]} > /tmp/program.log 2>&1 &
        pid=\$!
        for _ in \$(seq 300); do
            main=\$(xdotool search --onlyvisible --name \"^Varnholt Kestrane\$\" 2> /dev/null | head -n1) || true
            [ -n \"\$main\" ] && break
            sleep 0.1
        done
        [ -n \"\$main\" ] || { cat /tmp/program.log; echo the main window did not appear; exit 1; }
        # The splash and every message box are captioned Kestrane: one still shown after the splash is a box.
        for _ in \$(seq 200); do
            xdotool search --onlyvisible --name \"^Kestrane\$\" > /dev/null 2>&1 || break
            sleep 0.1
        done
        xdotool search --onlyvisible --name \"^Kestrane\$\" > /dev/null 2>&1 && { echo a message box is shown; exit 1; }
        sleep 1
        cp /tmp/fb/Xvfb_screen0 /tmp/shot.xwd
        xdotool getwindowgeometry --shell \$main > /tmp/geometry
        xdotool mousemove --window \$main 685 22 click 1
        for _ in \$(seq 200); do kill -0 \$pid 2> /dev/null || break; sleep 0.1; done
        kill -0 \$pid 2> /dev/null && { echo the program did not close; exit 1; }
        status=0
        wait \$pid || status=\$?
        echo program exit status \$status
        exit \$status
    "
    ls -l $home/.config/Kestrane
    printf "\r\n[option]\r\nShowToolbar=1\r\nChangeSkin=1\r\n" | cmp - $home/.config/Kestrane/Kestrane_option.ini
    printf "\r\n[data]\r\nskinfile=1\r\n" | cmp - $home/.config/Kestrane/Kestrane_skinfile.ini
    [ "$(find /usr/lib/kestrane -name "*.ini")" = /usr/lib/kestrane/Kestrane_verdata.ini ]
'
if command -v convert > /dev/null; then
    # shellcheck disable=SC1091
    . "$root/tmp/geometry"
    convert "xwd:$root/tmp/shot.xwd" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage package-check-shot.png
    echo "screenshot: $PWD/package-check-shot.png"
fi

echo "== apt-get remove --purge kestrane"
in_root "$snapshot" > "$root/tmp/before-remove"
in_root "apt-get remove --purge -y kestrane 2>&1 | tail -n 2"
in_root "$snapshot" > "$root/tmp/after-remove"
left=$(grep -Fxf "$root/tmp/owned" "$root/tmp/after-remove" | while read -r p; do
    # Folders shared with other packages stay, and rightly so.
    in_root "[ -d '$p' ] && dpkg -S '$p' > /dev/null 2>&1" || echo "$p"; done)
[ -z "$left" ] || fail "left behind after the purge: $left"
stray=$(grep -i kestrane "$root/tmp/after-remove" | grep -v '^/tmp' || true)
[ -z "$stray" ] || fail "files named after kestrane remain: $stray"
in_root "! grep -q kestrane /usr/share/mime/globs2" || fail "the system MIME database still knows the type"
echo "removed: $(comm -23 "$root/tmp/before-remove" "$root/tmp/after-remove" | wc -l) paths; nothing of the package left"
echo "PASS"

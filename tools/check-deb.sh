#!/usr/bin/env bash
# Proves that the Debian package installs, runs and goes away cleanly on a
# fresh Debian 12, without touching this machine's own packages: everything
# happens in a minimal root made by debootstrap under /tmp, removed at the end.
#
#   sudo tools/check-deb.sh build-deb/vorlane_*.deb
#
# Needs root, debootstrap and network access to a Debian mirror. Takes a few
# minutes, so it is no ctest test. Environment:
#   VORLANE_DEB_MIRROR     mirror to use (default: the first Debian mirror of
#                          this machine's apt sources, else deb.debian.org)
#   VORLANE_DEB_CACHE      folder where debootstrap keeps the packages it
#                          downloads, to make later runs faster
#   VORLANE_DEB_KEEP_ROOT  set to 1 to keep the root for a look afterwards
set -euo pipefail

deb=${1:?usage: $0 vorlane_VERSION_ARCH.deb}
[ -f "$deb" ] || { echo "no such file: $deb" >&2; exit 2; }
deb=$(readlink -f "$deb")
[ "$(id -u)" -eq 0 ] || { echo "needs root (debootstrap and chroot)" >&2; exit 2; }
command -v debootstrap >/dev/null || { echo "debootstrap is missing (apt-get install debootstrap)" >&2; exit 2; }

step() { printf '\n== %s\n' "$*"; }
fail() { printf 'FAIL: %s\n' "$*" >&2; exit 1; }

mirror=${VORLANE_DEB_MIRROR:-}
if [ -z "$mirror" ]; then
    # One-line and deb822 sources alike: the first URI that serves the main archive.
    mirror=$(grep -rhoE 'https?://[^ ]+/debian/?( |$)' /etc/apt/sources.list /etc/apt/sources.list.d/ 2>/dev/null \
             | head -n 1 | tr -d ' ' || true)
    mirror=${mirror:-http://deb.debian.org/debian}
fi
security=${mirror%/debian*}/debian-security

root=$(mktemp -d /tmp/vorlane-deb-root.XXXXXX)
# The root folder becomes "/" inside: users and apt's own user must be able to enter it.
chmod 755 "$root"
cleanup() {
    # Whatever still runs inside the root was started by this script.
    for proc in /proc/[0-9]*; do
        [ "$(readlink "$proc/root" 2>/dev/null)" = "$root" ] && kill -KILL "${proc#/proc/}" 2>/dev/null
    done
    umount "$root/proc" 2>/dev/null || true
    if [ "${VORLANE_DEB_KEEP_ROOT:-0}" = 1 ]; then
        echo "root kept in $root"
    else
        rm -rf --one-file-system "$root"
    fi
}
trap cleanup EXIT

in_root() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

# Every file and folder of the root but the ones apt, dpkg and the logs keep
# for themselves.
snapshot() {
    in_root find / -xdev \
        \( -path /proc -o -path /sys -o -path /dev -o -path /tmp -o -path /run \
           -o -path /var/lib/apt -o -path /var/lib/dpkg -o -path /var/cache -o -path /var/log \) -prune \
        -o -print | LC_ALL=C sort
}

step "debootstrap bookworm from $mirror"
cache=()
if [ -n "${VORLANE_DEB_CACHE:-}" ]; then
    mkdir -p "$VORLANE_DEB_CACHE"
    cache=(--cache-dir="$(readlink -f "$VORLANE_DEB_CACHE")")
fi
debootstrap --variant=minbase "${cache[@]}" bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 \
    || { tail -n 20 "$root.debootstrap.log" >&2; rm -f "$root.debootstrap.log"; fail "debootstrap"; }
rm -f "$root.debootstrap.log"
mount -t proc proc "$root/proc"
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb $security bookworm-security main
EOF
in_root apt-get update -qq

step "apt-get install ./$(basename "$deb")"
cp "$deb" "$root/tmp/"
in_root apt-get install -y -q "/tmp/$(basename "$deb")" >"$root/tmp/install.log" 2>&1 \
    || { tail -n 30 "$root/tmp/install.log" >&2; fail "the package did not install"; }
sed -n 's/^\([0-9]* upgraded, [0-9]* newly installed.*\)/\1/p' "$root/tmp/install.log"
in_root dpkg-query -W -f='${Package} ${Version} ${Status}\n' vorlane
# What else came with it stays for the rest: the snapshot that the end is
# compared with is taken with the dependencies in place and vorlane gone.
in_root dpkg --purge vorlane >/dev/null
# A normal user who starts the program; made before the snapshot so that
# only the package's own traces can differ afterwards.
in_root useradd --create-home --shell /bin/sh tester
before=$(snapshot)
in_root apt-get install -y -q "/tmp/$(basename "$deb")" >"$root/tmp/install.log" 2>&1 \
    || { tail -n 30 "$root/tmp/install.log" >&2; fail "the package did not install again"; }

step "vorlane --help, --version"
in_root vorlane --help >"$root/tmp/help.txt" || fail "vorlane --help exited with $?"
head -n 1 "$root/tmp/help.txt"
grep -q '^Usage: vorlane' "$root/tmp/help.txt" || fail "vorlane --help printed no usage"
in_root vorlane --version

step "vorlane starts offscreen as a normal user and keeps its settings in ~/.config/vorlane"
# The program saves and ends on a termination signal.
# Not through in_root: a function would run in a shell of its own and $pid
# would be that shell's. chroot, env and setpriv each replace themselves with
# the next program, so $pid ends up being vorlane's own.
chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 setpriv --reuid=tester --regid=tester --init-groups env HOME=/home/tester QT_QPA_PLATFORM=offscreen vorlane \
    >"$root/tmp/run.log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
    [ -d "$root/home/tester/.config/vorlane" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
sleep 2
kill -0 "$pid" 2>/dev/null || { cat "$root/tmp/run.log" >&2; fail "vorlane ended by itself"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { cat "$root/tmp/run.log" >&2; fail "vorlane exited with $status after the termination signal"; }
[ -s "$root/home/tester/.config/vorlane/vorlane.ini" ] || { cat "$root/tmp/run.log" >&2; fail "no ~/.config/vorlane/vorlane.ini"; }
ls -ln "$root/home/tester/.config/vorlane/"
[ "$(stat -c %u "$root/home/tester/.config/vorlane/vorlane.ini")" = "$(in_root id -u tester)" ] \
    || fail "the settings file is not the user's"
# Nothing may land beside the installed program (a "portable" settings file).
[ ! -e "$root/usr/bin/vorlane.ini" ] || fail "settings written to /usr/bin"

step "as root, the settings go to ~/.config/vorlane too, never beside the program"
root_config_existed=0
[ -e "$root/root/.config" ] && root_config_existed=1
in_root env HOME=/root vorlane --resave 2>"$root/tmp/resave.log" \
    || { cat "$root/tmp/resave.log" >&2; fail "vorlane --resave as root"; }
[ -s "$root/root/.config/vorlane/vorlane.ini" ] || fail "no /root/.config/vorlane/vorlane.ini"
[ ! -e "$root/usr/bin/vorlane.ini" ] || fail "root's settings written to /usr/bin"
echo "/root/.config/vorlane/vorlane.ini"
# The snapshot holds no root settings; they are the user's, like the tester's.
if [ "$root_config_existed" = 1 ]; then
    rm -rf "$root/root/.config/vorlane"
else
    rm -rf "$root/root/.config"
fi

step "apt-get purge vorlane"
files=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' | grep -v '^/*$')
in_root apt-get purge -y -q vorlane >"$root/tmp/purge.log" 2>&1 \
    || { tail -n 30 "$root/tmp/purge.log" >&2; fail "the package did not purge"; }
if in_root dpkg-query -W vorlane >/dev/null 2>&1; then
    fail "dpkg still knows vorlane"
fi
left=0
while IFS= read -r path; do
    # Shared folders (/usr/share/icons/hicolor/...) belong to other packages too.
    if [ -e "$root$path" ] && [ ! -d "$root$path" ]; then
        echo "left behind: $path" >&2
        left=1
    fi
done <<<"$files"
[ "$left" -eq 0 ] || fail "files of the package are left after the purge"
echo "no file of the package is left"

step "the root is as before the installation"
# The user's own settings stay, as with every package; the user goes with them.
in_root userdel --remove tester 2>/dev/null || true
in_root useradd --create-home --shell /bin/sh tester
after=$(snapshot)
difference=$(diff <(echo "$before") <(echo "$after") || true)
if [ -n "$difference" ]; then
    echo "$difference" >&2
    fail "the root differs from before the installation"
fi
echo "no file left and none missing"

step "PASS"

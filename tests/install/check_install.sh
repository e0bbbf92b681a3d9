#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a
# package manager will see: the exact file list, icons of the sizes their
# folders claim, a desktop entry and metainfo that validate and point at each
# other, a man page that renders cleanly, covers every option of --help and
# names the folder the program looks in for its manual, and a Debian package
# with the same files, a stripped program, its licence where Debian Policy
# wants it, and its dependencies filled in.
#   check_install.sh BUILD_DIR VERSION
set -euo pipefail

build=${1:?build dir}
version=${2:?version}

for tool in desktop-file-validate appstreamcli groff man col dpkg-deb dpkg-shlibdeps file cpack strip; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (tools/dev.sh test installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

sizes=(16 22 24 32 48 64 128 256)
expected=(bin/vorlane share/applications/vorlane.desktop
          share/metainfo/io.github.vorlane.Vorlane.metainfo.xml
          share/icons/hicolor/scalable/apps/vorlane.svg share/man/man1/vorlane.1.gz
          share/doc/vorlane/copyright)
for s in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${s}x${s}/apps/vorlane.png")
done

# --- cmake --install ---------------------------------------------------------
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
    || { cat "$work/install.log" >&2; echo "FAIL: cmake --install" >&2; exit 1; }
# The manual is optional here: it is installed only when it was built.
[ -f "$prefix/share/vorlane/vorlane.chm" ] && expected+=(share/vorlane/vorlane.chm)

got=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
want=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
if [ "$got" != "$want" ]; then
    fail "installed files differ from the expected list"
    diff <(echo "$want") <(echo "$got") >&2 || true
fi
[ -x "$prefix/bin/vorlane" ] || fail "bin/vorlane is not executable"

# Each PNG must have the size its folder names (a PNG's IHDR holds width and
# height as big-endian 32-bit numbers at bytes 16 and 20).
for s in "${sizes[@]}"; do
    png=$prefix/share/icons/hicolor/${s}x${s}/apps/vorlane.png
    [ -f "$png" ] || continue
    read -r -a b < <(od -An -tu1 -j16 -N8 "$png")
    w=$(( (b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3] ))
    h=$(( (b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7] ))
    [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is no PNG"
    [ "$w" = "$s" ] && [ "$h" = "$s" ] || fail "${s}x${s} icon is ${w}x${h}"
done

# --- desktop entry and metainfo ----------------------------------------------
desktop=$prefix/share/applications/vorlane.desktop
metainfo=$prefix/share/metainfo/io.github.vorlane.Vorlane.metainfo.xml
out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ] || fail "desktop-file-validate: $out"
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
# They must name each other and what is installed: the launchable is the
# desktop entry, the entry's program and icon exist.
grep -q '<launchable type="desktop-id">vorlane.desktop</launchable>' "$metainfo" \
    || fail "the metainfo does not launch vorlane.desktop"
grep -q '<binary>vorlane</binary>' "$metainfo" || fail "the metainfo does not provide the binary"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_program" ] || fail "Exec= names $exec_program, which is not installed"
icon=$(sed -n 's/^Icon=//p' "$desktop")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon=$icon has no scalable icon"

# --- man page ------------------------------------------------------------------
page=$prefix/share/man/man1/vorlane.1.gz
if [ -f "$page" ]; then
    gunzip -c "$page" >"$work/vorlane.1"
    out=$(groff -ww -z -man "$work/vorlane.1" 2>&1) || fail "groff: $out"
    [ -z "$out" ] || fail "groff warns: $out"
    rendered=$(MANWIDTH=200 MAN_KEEP_FORMATTING= man -l "$page" 2>"$work/man.err" | col -b) || fail "man -l failed"
    [ -s "$work/man.err" ] && fail "man -l warns: $(cat "$work/man.err")"
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT FILES 'EXIT STATUS'; do
        grep -q "^$section\$" <<<"$rendered" || fail "the man page has no $section section"
    done
    # Every option and every exit status the program itself documents.
    help=$("$prefix/bin/vorlane" --help)
    options=$(grep -oE '^  --[a-z-]+' <<<"$help" | tr -d ' ' | sort -u)
    [ "$(wc -l <<<"$options")" -ge 5 ] || fail "could not read the options from --help"
    # Each one as an entry of its own in OPTIONS, not merely named in passing.
    options_part=$(sed -n '/^OPTIONS$/,/^[A-Z]/p' <<<"$rendered")
    for option in $options; do
        grep -qE -- "^ +$option( |,|=|$)" <<<"$options_part" || fail "the man page's OPTIONS lack $option"
    done
    statuses=$(sed -n '/^Exit status:/,$p' <<<"$help" | grep -oE '^  [0-9]+' | tr -d ' ')
    exit_part=$(sed -n '/^EXIT STATUS$/,/^[A-Z]/p' <<<"$rendered")
    for status in $statuses; do
        grep -qE "^ +$status( |$)" <<<"$exit_part" || fail "the man page does not explain exit status $status"
    done
    for variable in $(sed -n '/^Environment:/,/^$/p' <<<"$help" | grep -oE '^  [A-Z_]+' | tr -d ' '); do
        grep -qF "$variable" <<<"$rendered" || fail "the man page does not mention $variable"
    done
    # The manual's folder: the one compiled into the program.
    looks_in=$(LC_ALL=C grep -aoE '/[A-Za-z0-9_.+/-]*/share/vorlane' "$prefix/bin/vorlane" | sort -u)
    [ "$(wc -l <<<"$looks_in")" = 1 ] && [ -n "$looks_in" ] || fail "cannot tell where the program looks for its manual"
    grep -qE "^ +$looks_in/vorlane\.chm\$" <<<"$rendered" \
        || fail "the man page names $(grep -E 'vorlane\.chm$' <<<"$rendered" | head -n 1), not $looks_in/vorlane.chm"
fi

# --- a stripped install ------------------------------------------------------
# The build keeps its debugging information; cmake --install --strip (as the
# README says) installs the program without it.
cmake --install "$build" --strip --prefix "$work/stripped" >"$work/strip.log" 2>&1 \
    || { cat "$work/strip.log" >&2; fail "cmake --install --strip"; }
file -b "$work/stripped/bin/vorlane" | grep -q ', stripped' \
    || fail "cmake --install --strip left the program unstripped"

# --- Debian package ------------------------------------------------------------
# Packaged under /usr whatever this build's prefix is: the file list is what
# counts here.
(cd "$build" && cpack -G DEB -B "$work/package" -D CPACK_PACKAGING_INSTALL_PREFIX=/usr) >"$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$(ls "$work"/package/vorlane_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    fail "cpack made no vorlane_*.deb"
else
    [ "$(basename "$deb")" = "vorlane_${version}-1_$(dpkg --print-architecture).deb" ] \
        || fail "package file name $(basename "$deb")"
    packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)
    if [ "$packaged" != "$want" ]; then
        fail "the package's files differ from the installed ones"
        diff <(echo "$want") <(echo "$packaged") >&2 || true
    fi
    [ "$(dpkg-deb -f "$deb" Package)" = vorlane ] || fail "Package field"
    # The licence, in Debian's machine-readable form, readable by all.
    dpkg-deb -x "$deb" "$work/unpacked"
    copyright=$work/unpacked/usr/share/doc/vorlane/copyright
    if [ ! -f "$copyright" ]; then
        fail "the package has no /usr/share/doc/vorlane/copyright"
    else
        [ "$(stat -c %a "$copyright")" = 644 ] || fail "copyright has mode $(stat -c %a "$copyright")"
        head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
            || fail "copyright is not in the machine-readable format"
        grep -qx 'License: GPL-3+' "$copyright" || fail "copyright does not name the licence GPL-3+"
    fi
    file -b "$work/unpacked/usr/bin/vorlane" | grep -q ', stripped' || fail "the packaged program is not stripped"
    [ "$(dpkg-deb -f "$deb" Version)" = "${version}-1" ] || fail "Version field"
    depends=$(dpkg-deb -f "$deb" Depends)
    # From dpkg-shlibdeps (the libraries the binary links) and by hand (the
    # SVG plugins Qt loads by name).
    for needed in libqt6widgets6 libqt6gui6 libc6 libjpeg62-turbo libqt6svg6; do
        grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "Depends lacks $needed: $depends"
    done
    for field in Maintainer Description Section; do
        [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
    done
    # Only files under /usr, none in /usr/local.
    dpkg-deb -c "$deb" | awk '{print $6}' | grep -vE '^\./(usr/?)?$|^\./usr/(bin|share)(/|$)' >&2 \
        && fail "the package holds files outside /usr/bin and /usr/share"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "install layout, desktop entry, metainfo, man page and package: all good"

#!/usr/bin/env bash
# Takes the manual's pictures from the real program: a prepared settings file
# in a temporary home, a private Xvfb display with openbox (and trayer for the
# notification area), xdotool for the mouse and keys, ImageMagick's import for
# the captures. Writes doc/manual/images/*.png; run doc/manual/build.sh after.
#
#   usage: doc/manual/screenshots.sh path/to/vorlane [display-number]
#
# Needs Xvfb, openbox, trayer, xdotool, imagemagick and optipng (Debian
# packages of those names). Every process it starts is stopped by PID.
set -euo pipefail

bin=${1:?usage: $0 path/to/vorlane [display-number]}
case $bin in /*) ;; *) bin=$PWD/$bin ;; esac
display=:${2:-82}
here=$(cd "$(dirname "$0")" && pwd)
out=$here/images
mkdir -p "$out"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/vorlane-shots.XXXXXX")
chmod 700 "$tmp"
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null || true
        wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$tmp"
}
trap cleanup EXIT

export DISPLAY=$display
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox >"$tmp/openbox.log" 2>&1 &
pids+=($!)
sleep 0.5
convert -size 1024x768 xc:'#5a6e82' "$tmp/root.png" && display -window root "$tmp/root.png" || true
trayer --edge bottom --align right --widthtype pixel --width 80 --heighttype pixel --height 24 \
    --transparent false --tint 0xd0d0d0 >"$tmp/trayer.log" 2>&1 &
pids+=($!)
sleep 0.5

# --- a home with a few files, and the settings that show them -------------
home=$tmp/home
docs=$home/Documents
mkdir -p "$docs/Photos" "$home/.config" "$tmp/run"
chmod 700 "$tmp/run"
printf 'Minutes of the Monday meeting\n' >"$docs/Minutes.txt"
printf '%%PDF-1.4\n%%\xe2\xe3\xcf\xd3\n1 0 obj <<>> endobj\ntrailer <<>>\n%%%%EOF\n' >"$docs/Handbook.pdf"
printf 'name,amount\nrent,700\n' >"$docs/Budget 2026.csv"
printf '<html><body>Plans</body></html>\n' >"$docs/Plans.html"
printf '#!/bin/sh\necho backup\n' >"$docs/backup.sh"
printf 'Ideas for the next release\n' >"$docs/Backlog.txt"
printf 'not a real database\n' >"$docs/Database.odb"
chmod +x "$docs/backup.sh"

# Colours are stored as 0x00BBGGRR numbers.
bgr() { echo $(( ($3 << 16) | ($2 << 8) | $1 )); }
ini=$home/.config/vorlane/vorlane.ini
mkdir -p "$(dirname "$ini")"
item() { # page number left top caption file [command]
    printf '[Page%s\\Item%s]\nAttachedFile=%s\nLabel_Caption=%s\nCommandString=%s\nPicture=\nItem_Left=%s\nItem_Top=%s\n\n' \
        "$1" "$2" "$6" "$5" "${7:-}" "$3" "$4"
}
{
    printf '[General]\nFormMaximized_Key=0\nFormWidth_Key=640\nFormHeight_Key=420\nFormTop_Key=60\nFormLeft_Key=60\n'
    printf 'Tab_Position=1\nTab_Multiline=0\nPage_Count=4\nActive_Page=0\nbStatusBar_Enabled=1\n\n'
    printf '[Page0]\nDesktop_Caption=Work\nItem_CountTrue=6\nNote_CountTrue=1\nBG_Color=%s\nTransparent=1\n\n' "$(bgr 214 226 236)"
    item 0 1 16 12 'Minutes.txt' "$docs/Minutes.txt"
    item 0 2 108 12 'Handbook.pdf' "$docs/Handbook.pdf"
    item 0 3 200 12 'Budget 2026.csv' "$docs/Budget 2026.csv"
    item 0 4 16 106 'Documents' "$docs"
    item 0 5 108 106 'Backup' "$docs/backup.sh" '--quiet'
    item 0 6 200 106 'Project site' 'https://example.org/project'
    printf '[Page0\\Note1]\nCount=4\n1=Call the printer shop\n2=before Friday.\n3=\n4=Backup: every evening\nNote_Left=330\nNote_Top=30\nNote_Width=190\nNote_Height=96\nNote_Color=0080FFFF\nUseParentColor=0\n\n'
    printf '[Page1]\nDesktop_Caption=Web\nItem_CountTrue=3\nNote_CountTrue=0\nBG_Color=%s\n\n' "$(bgr 226 236 214)"
    item 1 1 16 12 'Search' 'https://duckduckgo.com/'
    item 1 2 108 12 'News' 'https://example.com/news'
    item 1 3 200 12 'Bank' 'https://bank.example.com/'
    printf '[Page2]\nDesktop_Caption=Projects\nItem_CountTrue=3\nNote_CountTrue=0\nBG_Color=%s\n\n' "$(bgr 236 226 214)"
    item 2 1 16 12 'Plans.html' "$docs/Plans.html"
    item 2 2 108 12 'Backlog.txt' "$docs/Backlog.txt"
    item 2 3 200 12 'Database.odb' "$docs/Database.odb"
    printf '[Page3]\nDesktop_Caption=Private\nItem_CountTrue=0\nNote_CountTrue=0\nBG_Color=%s\n\n' "$(bgr 220 220 220)"
} >"$ini"

# Earlier versions for the Restore window: three that can be read, one that
# cannot. The names carry the time in UTC; TZ below shows them as such.
history=$home/.config/vorlane/vorlane.history
mkdir -p "$history"
version() { # name pages items-on-page0
    { printf '[General]\nPage_Count=%s\nActive_Page=0\n\n' "$2"
      printf '[Page0]\nDesktop_Caption=Work\nItem_CountTrue=%s\n\n' "$3"
    } >"$history/$1"
}
version vorlane-20261207-142510Z.ini 4 10
version vorlane-20261207-091544Z.ini 3 8
version vorlane-20261206-173002Z.ini 3 6
head -c 600 /dev/urandom >"$history/vorlane-20261205-120000Z.ini"

export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$tmp/run
export VORLANE_SETTINGS=$ini VORLANE_REGISTRY=$home/.config/vorlane/registry.ini
export QT_QPA_PLATFORM=xcb QT_STYLE_OVERRIDE=Fusion TZ=UTC
unset VORLANE_REPORT_FIRST_PAINT SESSION_MANAGER

"$bin" >"$tmp/vorlane.log" 2>&1 &
pids+=($!)
win=
for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name '^Vorlane' 2>/dev/null | head -1) && [ -n "$win" ] && break
    sleep 0.1
done
[ -n "$win" ] || { echo "the window did not show" >&2; cat "$tmp/vorlane.log" >&2; exit 1; }
sleep 2

# The client area's place on screen; the page starts below the tab row.
geometry() { # window-id -> gx gy gw gh
    eval "$(xwininfo -id "$1" | awk -F: '/Absolute upper-left X/ {print "gx=" $2} /Absolute upper-left Y/ {print "gy=" $2}
        /^ *Width/ {print "gw=" $2} /^ *Height/ {print "gh=" $2}' | tr -d ' ')"
}
geometry "$win"
wx=$gx wy=$gy ww=$gw wh=$gh
tabrow=26
page() { # x y [xdotool command...]: the pointer to x y on the page, then the command
    geometry "$win"
    wx=$gx wy=$gy ww=$gw wh=$gh fx=$((gx - 1)) fy=$((gy - 20))
    xdotool mousemove $((wx + $1)) $((wy + tabrow + $2)) "${@:3}"
}
key() { # keys, one at a time
    local k
    for k in "$@"; do xdotool key "$k"; sleep 0.08; done
}
downs() { # n: walks n enabled entries down an open menu
    local i
    for ((i = 0; i < $1; i++)); do xdotool key Down; sleep 0.05; done
}
dialog() { # title pattern -> window id, waiting for it
    local w=
    for _ in $(seq 50); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$w" ] && break
        sleep 0.1
    done
    [ -n "$w" ] || { echo "no window '$1'" >&2; exit 1; }
    sleep 0.4
    echo "$w"
}
# With the window manager's frame, so the title shows.
shot_window() { import -frame -window "$1" "$out/$2.png"; }
shot_area() { import -window root -crop "$4x$5+$2+$3" +repage "$out/$1.png"; }
# The frame's title bar and border, for areas that include it.
fx=$((wx - 1)) fy=$((wy - 20))

if [ -n "${SHOTS_PAUSE:-}" ]; then
    echo "DISPLAY=$DISPLAY window $win at $wx,$wy ${ww}x$wh; tmp $tmp" >&2
    sleep "$SHOTS_PAUSE"
fi

# The main window, "Handbook.pdf" selected.
page 124 28 click 1
sleep 0.4
page 400 300
sleep 0.3
shot_window "$win" main-window

# The desktop menu with its Options submenu. Walking it with Down skips
# the disabled Paste Shortcut: Options is the 9th entry, Restore... the
# 12th, About the 14th.
page 300 124 click 3
sleep 0.5
downs 9
key Right
sleep 0.5
shot_area desktop-menu "$fx" "$fy" $((300 + 218 + 160 + 2)) $((tabrow + 124 + 370 + 24))

# Common Options, every page.
key Return
co=$(dialog '^Common Options')
names=(common internet reorder grid sound compatibility save)
for n in "${names[@]}"; do
    shot_window "$co" "common-options-$n"
    key ctrl+Tab
    sleep 0.3
done
key Escape
sleep 0.4

# Desktop Options, both pages.
page 300 124 click 3
sleep 0.5
downs 9
key Right Down Return
dopt=$(dialog 'Desktop Options')
shot_window "$dopt" desktop-options-background
key ctrl+Tab
sleep 0.3
shot_window "$dopt" desktop-options-shortcut
key Escape
sleep 0.4

# The shortcut menu and the attributes of the web shortcut (a file's would
# show this run's temporary folder).
page 216 122 click 3
sleep 0.5
shot_area shortcut-menu "$fx" "$fy" 460 $((20 + tabrow + 122 + 180))
downs 7
key Return
attr=$(dialog '^Shortcut Attributes')
shot_window "$attr" shortcut-attributes
key Escape
sleep 0.4

# A new web address.
page 300 300 click 3
sleep 0.5
downs 2
key Return
url=$(dialog '^Url Shortcut')
shot_window "$url" url-shortcut
key Escape
sleep 0.4

# A note's menu and its properties.
page 420 60 click 3
sleep 0.5
shot_area note-menu $((wx + 300)) $((wy + tabrow + 20)) 330 200
key Escape
sleep 0.3
page 420 60 click 3
sleep 0.5
downs 3
key Return
note=$(dialog '^Note Properties')
shot_window "$note" note-properties
key Escape
sleep 0.4

# Find: typing on an empty spot of the page opens the search field.
page 300 300 click 1
sleep 0.3
xdotool type --delay 200 ba
sleep 0.8
shot_window "$win" find
key Escape
sleep 0.3

# The Restore window with the versions prepared above.
page 300 300 click 3
sleep 0.5
downs 12
key Return
restore=$(dialog '^Restore')
shot_window "$restore" restore
key Escape
sleep 0.4

# The tray icon's menu.
tray=$(xdotool search --onlyvisible --classname vorlane 2>/dev/null | while read -r w; do
    geometry "$w" 2>/dev/null || continue
    [ "$gw" -le 32 ] && [ "$gh" -le 32 ] && echo "$w"
done | head -1)
if [ -n "$tray" ]; then
    geometry "$tray"
    xdotool mousemove $((gx + gw / 2)) $((gy + gh / 2)) click 3
    sleep 0.6
    shot_area tray-menu $((gx - 140)) $((gy - 90)) $((gw + 150)) $((gh + 92))
    key Escape
    sleep 0.3
fi

# The compact strip: the button at the end of the tab row, and back.
# The strip's place is read from the screen: the bare display around it is
# black.
geometry "$win"
xdotool mousemove $((gx + gw - 11)) $((gy + tabrow / 2)) click 1
sleep 1
import -window root -crop 1024x160+0+0 +repage "$tmp/top.png"
box=$(convert "$tmp/top.png" -format '%@' info:)
read -r sw sh sx sy <<<"$(echo "$box" | tr 'x+' '  ')"
convert "$tmp/top.png" -crop "${sw}x${sh}+${sx}+${sy}" +repage -bordercolor '#5a6e82' -border 8 "$out/compact-strip.png"
xdotool mousemove $((sx + sw - 11)) $((sy + sh / 2)) click 1
sleep 1
# Rolling up and out gives the window a new X window.
win=$(xdotool search --onlyvisible --name '^Vorlane' | head -1)

# About.
page 300 300 click 3
sleep 0.5
downs 14
key Return
about=$(dialog '^About')
shot_window "$about" about
key Return
sleep 0.3

# Small files: fewer colours where that changes nothing visible.
if command -v optipng >/dev/null; then
    optipng -quiet -o2 "$out"/*.png
fi
ls -l "$out"

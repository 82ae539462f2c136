#!/usr/bin/env bash
# Installs a build under /usr into a scratch DESTDIR and checks the tree a desktop system gets:
# exactly the expected files, a program that runs from there and keeps its files in the XDG
# folder, and a desktop entry, icons, metainfo and man page that agree with the program and
# with each other.
# Usage: install_tree.sh [BUILD_DIR]   (without one, a Release build is made in a scratch folder)
set -uo pipefail
# shellcheck source=tests/packaging/lib.sh
. "$(dirname "$0")/lib.sh"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
build="$(lanzo_build_dir "${1:-}" "$work")" || exit 1
dest="$work/dest"
usr="$dest/usr"

if ! DESTDIR="$dest" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
    cat "$work/install.log"
    echo "0 passed, 1 failed"
    exit 1
fi

# --- the tree ---------------------------------------------------------------------------

installed_files() {
    (cd "$usr" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
}
check "installs exactly the expected files" same_text "$(lanzo_expected_files "$build")" "$(installed_files)"
check "installs nothing outside the prefix" same_text "usr" "$(ls -A "$dest")"
# A config folder beside the program would make an installed copy keep its files in /usr/bin.
check "installs no config folder" same_text "" "$(find "$dest" -name config)"
check "program is executable" test -x "$usr/bin/lanzo"

lanzo="$usr/bin/lanzo"
# Commands start without the window libraries; the window is a program of its own.
no_window_libraries() { ! ldd "$lanzo" | grep -E 'libQt6'; }
command -v ldd >/dev/null && check "the command line loads no window library" no_window_libraries
if lanzo_gui "$build"; then
    check "window program is executable" test -x "$usr/libexec/lanzo/lanzo-window"
fi
version="$("$lanzo" --version | sed -n 's/^lanzo \([^ ]*\)$/\1/p')"
check "program reports its version" test -n "$version"

# --- where the installed program keeps its files -----------------------------------------

# Each row: description | environment | the folder that must get config/.
# An installed program has no config folder beside it, so it never writes next to itself.
home_cases=(
    "XDG_CONFIG_HOME set|XDG_CONFIG_HOME=$work/xdg|$work/xdg/lanzo"
    "XDG_CONFIG_HOME unset|HOME=$work/home2|$work/home2/.config/lanzo"
    "XDG_CONFIG_HOME empty|XDG_CONFIG_HOME= HOME=$work/home3|$work/home3/.config/lanzo"
    "LANZO_HOME set|LANZO_HOME=$work/lh XDG_CONFIG_HOME=$work/xdg4|$work/lh"
)
home_case() {
    local env_line="$1" want="$2" got
    # shellcheck disable=SC2086
    got="$(printf 'a[1-3]\n' | env -u LANZO_HOME -u XDG_CONFIG_HOME HOME="$work/home" $env_line "$lanzo" expand)" ||
        return 1
    same_text $'a1\na2\na3' "$got" || return 1
    [ -d "$want/config" ] || { echo "no $want/config"; return 1; }
    same_text "lanzo" "$(ls -A "$usr/bin")"
}
for row in "${home_cases[@]}"; do
    IFS='|' read -r name env_line want <<<"$row"
    check "installed program keeps its files in the right folder: $name" home_case "$env_line" "$want"
done

# --- desktop entry -------------------------------------------------------------------------

if lanzo_gui "$build"; then
    desktop="$usr/share/applications/$LANZO_APP_ID.desktop"
    key() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }

    if command -v desktop-file-validate >/dev/null; then
        # hints are advice; errors and warnings are faults
        validate_desktop() {
            local out
            out="$(desktop-file-validate "$desktop")" || { echo "$out"; return 1; }
            ! grep -E "error:|warning:" <<<"$out"
        }
        check "desktop entry validates" validate_desktop
    else
        echo "note: desktop-file-validate missing (desktop-file-utils): desktop entry not validated"
    fi
    exec_line="$(key Exec)"
    check "desktop entry starts the installed program" test -x "$usr/bin/${exec_line%% *}"
    # A launcher that offers files to the program must pass them on the command line.
    if [ -n "$(key MimeType)" ]; then
        check "desktop entry with file types passes files" grep -qE ' %[fFuU]( |$)' <<<"$exec_line"
        # "Open with" hands the program an absolute path: it must open its window with it, not
        # refuse it as an unknown command. A window still open after a few seconds is success.
        opens_file() {
            printf '<a href="x.html">x</a>\r\n' >"$work/page.html"
            env -u LANZO_HOME HOME="$work/home-open" XDG_CONFIG_HOME="$work/xdg-open" QT_QPA_PLATFORM=offscreen \
                timeout -k 2 4 "$usr/bin/lanzo" "$work/page.html" >/dev/null 2>&1
            local rc=$?
            [ "$rc" -eq 124 ] || { echo "the program ended with status $rc instead of showing its window"; return 1; }
        }
        check "program opens a file handed over by the desktop" opens_file
    fi
    icon="$(key Icon)"
    theme_name() { [[ -n "$icon" && "$icon" != */* && "$icon" != *.png && "$icon" != *.svg ]]; }
    check "desktop icon is a theme name, not a file" theme_name
    check "desktop icon is installed as SVG" test -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg"

    # --- icons -------------------------------------------------------------------------------

    png_size() {
        # bytes 1-8: the PNG signature; 17-24: width and height, big-endian
        local sig dims
        sig="$(od -An -tx1 -N8 "$1" | tr -d ' \n')"
        [ "$sig" == "89504e470d0a1a0a" ] || { echo "$1: not a PNG"; return 1; }
        read -ra dims <<<"$(od -An -tu1 -j16 -N8 "$1")"
        echo "$(((dims[0] << 24) + (dims[1] << 16) + (dims[2] << 8) + dims[3]))x$(((dims[4] << 24) + (dims[5] << 16) + (dims[6] << 8) + dims[7]))"
    }
    for size in "${LANZO_ICON_SIZES[@]}"; do
        png="$usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
        check "icon ${size}x${size} is a PNG of that size" same_text "${size}x${size}" "$(png_size "$png")"
    done
    if command -v rsvg-convert >/dev/null; then
        check "scalable icon renders" rsvg-convert --width=64 --output="$work/icon.png" \
            "$usr/share/icons/hicolor/scalable/apps/$icon.svg"
    fi

    # --- metainfo ----------------------------------------------------------------------------

    metainfo="$usr/share/metainfo/$LANZO_APP_ID.metainfo.xml"
    if command -v appstreamcli >/dev/null; then
        check "metainfo validates" appstreamcli validate --no-net --strict "$metainfo"
    else
        echo "note: appstreamcli missing (appstream): metainfo not validated"
    fi
    tag() { sed -n "s|.*<$1[^>]*>\\([^<]*\\)</$1>.*|\\1|p" "$metainfo" | head -n 1; }
    check "metainfo id names the desktop entry" same_text "$LANZO_APP_ID" "$(tag id)"
    check "metainfo launches the installed desktop entry" test -f "$usr/share/applications/$(tag launchable)"
    check "metainfo names the installed program" test -x "$usr/bin/$(tag binary)"
    check "metainfo's newest release is the program's version" same_text "$version" \
        "$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)"
fi

# --- man page --------------------------------------------------------------------------------

man_page="$usr/share/man/man1/lanzo.1.gz"
check "man page is gzip" gzip -t "$man_page"
# Output on standard error is a warning: both must stay silent.
groff_quiet() { same_text "" "$(zcat "$man_page" | preconv | groff -man -ww -z -Tutf8 2>&1)"; }
man_quiet() { same_text "" "$(MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >/dev/null)"; }
check "man page formats without warnings" groff_quiet
if command -v man >/dev/null; then
    check "man -l renders without warnings" man_quiet
fi
check "man page is for the program's version" grep -q "^\\.TH LANZO 1 .*\"lanzo $version\"" <(zcat "$man_page")

# The commands the man page documents (the bold words that open its COMMANDS items) must be
# commands the program knows.
documented_commands() {
    zcat "$man_page" | sed -n '/^\.SH COMMANDS/,/^\.SH /p' | sed -n '/^\.TP/{n;p}' |
        sed -e 's/\\f[BIRP]//g' -e 's/^\.[BIR]* //' -e 's/"//g' | tr ',' '\n' | sed -n 's/^ *\([a-z0-9]\{2,\}\)\( .*\)\{0,1\}$/\1/p'
}
help_text="$("$lanzo" --help)"
commands="$(documented_commands)"
check "man page documents commands" test "$(wc -w <<<"$commands")" -ge 20
for command in $commands; do
    check "documented command '$command' is in --help" grep -qw -- "$command" <<<"$help_text"
done

finish

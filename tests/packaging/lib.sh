# Shared by the packaging tests: a build to test, the files an install must hold, and a
# check runner that goes on after a failure and counts.
# shellcheck shell=bash

LANZO_APP_ID=jp.lanzo.Lanzo
LANZO_ICON_SIZES=(16 24 32 48 64 128 256)
LANZO_SOURCE_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

passed=0
failed=0

# check NAME COMMAND...: runs the command, reports it, and counts it.
check() {
    local name="$1"
    shift
    local out
    if out="$("$@" 2>&1)"; then
        passed=$((passed + 1))
        echo "ok: $name"
    else
        failed=$((failed + 1))
        echo "FAIL: $name"
        [ -n "$out" ] && sed 's/^/    /' <<<"$out"
    fi
    return 0
}

# finish: the closing line, and the exit status.
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}

# same_text WANT GOT: fails showing both when they differ.
same_text() {
    [ "$1" == "$2" ] && return 0
    diff <(printf '%s\n' "$1") <(printf '%s\n' "$2")
    return 1
}

# lanzo_build_dir [DIR] WORK: prints DIR when given, else configures and builds a Release
# build in WORK/build and prints that.
lanzo_build_dir() {
    if [ -n "$1" ]; then
        (cd "$1" && pwd)
        return
    fi
    local dir="$2/build"
    echo "building a Release build in $dir" >&2
    cmake -S "$LANZO_SOURCE_DIR" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLANZO_TESTS=OFF >/dev/null
    cmake --build "$dir" -j"$(nproc)" >/dev/null
    echo "$dir"
}

# lanzo_gui BUILD: true when the build has the windows.
lanzo_gui() {
    ! grep -q '^LANZO_GUI:BOOL=OFF$' "$1/CMakeCache.txt"
}

# lanzo_expected_files BUILD: every file an install under /usr must hold, sorted, without the
# leading "/usr/"; nothing more may be there.
lanzo_expected_files() {
    {
        echo "bin/lanzo"
        echo "share/man/man1/lanzo.1.gz"
        if lanzo_gui "$1"; then
            echo "libexec/lanzo/lanzo-window"
            echo "share/applications/$LANZO_APP_ID.desktop"
            echo "share/metainfo/$LANZO_APP_ID.metainfo.xml"
            echo "share/icons/hicolor/scalable/apps/$LANZO_APP_ID.svg"
            local size
            for size in "${LANZO_ICON_SIZES[@]}"; do
                echo "share/icons/hicolor/${size}x${size}/apps/$LANZO_APP_ID.png"
            done
        fi
    } | LC_ALL=C sort
}

#!/usr/bin/env bash
# Builds the Debian package with CPack and checks its control fields and contents; then, as root
# on a machine without lanzo, installs it with apt-get, runs the installed program and removes
# the package again. Exits 77 (skipped) when the installation could not be tried.
# Usage: deb.sh [BUILD_DIR]   (without one, a Release build is made in a scratch folder)
set -uo pipefail
# shellcheck source=tests/packaging/lib.sh
. "$(dirname "$0")/lib.sh"

work="$(mktemp -d)"
installed_by_us=0
cleanup() {
    # check runs each step in a subshell, so ask dpkg rather than trust a flag set there
    if [ "$installed_by_us" = 1 ] && dpkg-query -W -f='${Status}' lanzo 2>/dev/null | grep -q 'ok installed'; then
        apt-get -o DPkg::Lock::Timeout=600 remove -y -qq lanzo >/dev/null 2>&1 || dpkg -r lanzo >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap cleanup EXIT
build="$(lanzo_build_dir "${1:-}" "$work")" || exit 1

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    echo "0 passed, 1 failed"
    exit 1
fi
debs=("$work"/out/*.deb)
check "cpack makes one package" test "${#debs[@]}" -eq 1 -a -f "${debs[0]}"
deb="${debs[0]}"
[ -f "$deb" ] || { finish; exit 1; }

# The program as packaged, to compare the package with.
dpkg-deb -x "$deb" "$work/root"
version="$("$work/root/usr/bin/lanzo" --version | sed -n 's/^lanzo \([^ ]*\)$/\1/p')"
check "packaged program reports its version" test -n "$version"

# --- control fields ----------------------------------------------------------------------------

field() { dpkg-deb -f "$deb" "$1"; }
# Each row: field | a pattern its whole value must match.
field_cases=(
    "Package|lanzo"
    "Version|${version//./\\.}"
    "Architecture|$(dpkg --print-architecture)"
    "Section|utils"
    "Priority|optional"
    "Maintainer|.+ <[^ @]+@[^ ]+>"
    "Description|[^ ].*"
)
for row in "${field_cases[@]}"; do
    IFS='|' read -r name pattern <<<"$row"
    check "control field $name" grep -qxE -- "$pattern" <<<"$(field "$name" | head -n 1)"
done
check "file name follows Debian's rule" same_text "lanzo_${version}_$(dpkg --print-architecture).deb" \
    "$(basename "$deb")"
check "description has a long part" test "$(field Description | wc -l)" -ge 2

# Depends comes from the linked libraries: one row per library package that must be there.
depends="$(field Depends | tr ',' '\n' | sed -e 's/^ *//' -e 's/ .*//')"
needed=(libc6 libcurl4)
lanzo_gui "$build" && needed+=(libqt6widgets6 libqt6core6)
for package in "${needed[@]}"; do
    check "Depends lists $package" grep -qx -- "$package" <<<"$depends"
done

# --- contents ----------------------------------------------------------------------------------

listing="$(dpkg-deb -c "$deb")"
packaged_files() {
    awk '$1 !~ /^d/ {print $6}' <<<"$listing" | sed 's|^\./usr/||' | LC_ALL=C sort
}
check "package holds exactly the expected files" same_text "$(lanzo_expected_files "$build")" "$(packaged_files)"
check "everything belongs to root" same_text "" "$(awk '$2 != "root/root"' <<<"$listing")"
programs=(./usr/bin/lanzo)
lanzo_gui "$build" && programs+=(./usr/libexec/lanzo/lanzo-window)
for program in "${programs[@]}"; do
    check "${program#./usr/} is 0755" grep -qE "^-rwxr-xr-x .* ${program//./\\.}\$" <<<"$listing"
done
check "other files are 0644" same_text "" \
    "$(awk -v programs="${programs[*]}" 'BEGIN { split(programs, p, " "); for (i in p) is_program[p[i]] = 1 }
        $1 !~ /^d/ && !($6 in is_program) && $1 != "-rw-r--r--"' <<<"$listing")"
check "folders are 0755" same_text "" "$(awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"' <<<"$listing")"
if command -v readelf >/dev/null; then
    stripped() { ! readelf -S "$work/root/${1#./}" | grep -E '\.debug_|\.symtab'; }
    for program in "${programs[@]}"; do
        check "${program#./usr/} is stripped" stripped "$program"
    done
fi

# --- install, run, remove ----------------------------------------------------------------------

skip_reason=""
if [ "$(id -u)" -ne 0 ]; then
    skip_reason="not root"
elif ! command -v apt-get >/dev/null; then
    skip_reason="no apt-get"
elif dpkg-query -W -f='${Status}' lanzo 2>/dev/null | grep -q 'ok installed' || [ -e /usr/bin/lanzo ]; then
    skip_reason="lanzo is already installed on this machine"
fi
if [ -n "$skip_reason" ]; then
    echo "installation not tried: $skip_reason"
    finish || exit 1
    exit 77
fi

install_package() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends \
        "$deb" 2>&1 | grep -vE '^(N: |W: Download is performed unsandboxed)' || true
    dpkg-query -W -f='${Status}' lanzo | grep -q 'ok installed'
}
installed_by_us=1
check "apt-get installs the package" install_package
check "installed program is on the PATH" same_text "/usr/bin/lanzo" "$(command -v lanzo)"
check "installed program reports the package's version" same_text "lanzo $version" "$(lanzo --version)"
check "installed program runs a command" same_text $'a1\na2\na3' \
    "$(printf 'a[1-3]\n' | lanzo --home "$work/home" expand)"
check "installed program seeds its home" test -d "$work/home/config"
check "dpkg knows the package's files" grep -qx /usr/share/man/man1/lanzo.1.gz <<<"$(dpkg -L lanzo)"

remove_package() {
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y -qq lanzo >/dev/null 2>&1 || return 1
    ! dpkg-query -W -f='${Status}' lanzo 2>/dev/null | grep -q 'ok installed'
}
check "apt-get removes the package" remove_package
check "removal leaves no program behind" test ! -e /usr/bin/lanzo

finish

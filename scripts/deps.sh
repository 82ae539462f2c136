#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the screenshots need, only those missing.
set -euo pipefail

packages=(build-essential cmake pkg-config ninja-build qt6-base-dev qt6-translations-l10n libcurl4-openssl-dev
    libuchardet-dev libssl-dev libgtest-dev libgmock-dev fonts-ipafont-gothic xvfb xauth clang clang-format libclang-rt-14-dev python3
    libqt6svg6 librsvg2-bin dpkg-dev desktop-file-utils appstream imagemagick chromium time openbox
    python3-xlib)
if [ "${LANZO_WITH_BENCH:-0}" = 1 ]; then packages+=(libbenchmark-dev ripgrep nkf); fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
apt_get() {
    # another process may hold the dpkg lock for a while: wait for it instead of failing
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}
echo "Installing: ${missing[*]}" >&2
apt_get update -qq
apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

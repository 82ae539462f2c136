#!/usr/bin/env bash
# The windows on a real desktop: the program under Xvfb with the openbox window manager, checked
# through what the window manager publishes. Skips (77) when Xvfb, openbox or python3-xlib are
# missing, unless LANZO_REQUIRE_WM=1 (the test command sets it, after installing them).
#   tests/wm/run.sh LANZO [SCREENSHOT_FOLDER]
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
missing=()
command -v Xvfb >/dev/null || missing+=(Xvfb)
command -v openbox >/dev/null || missing+=(openbox)
python=""
for candidate in /usr/bin/python3 python3; do
    if "$candidate" -c 'import Xlib.ext.xtest' 2>/dev/null; then
        python="$candidate"
        break
    fi
done
[ -n "$python" ] || missing+=(python3-xlib)
if [ ${#missing[@]} -gt 0 ]; then
    echo "window-manager layer: missing ${missing[*]} (scripts/deps.sh installs them)"
    [ "${LANZO_REQUIRE_WM:-0}" = 1 ] && exit 1
    exit 77
fi
exec "$python" "$here/wm_layer.py" "$@"

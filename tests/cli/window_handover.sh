#!/usr/bin/env bash
# The command line hands the window over to the window program beside it: with the folder it
# resolved first, then the arguments as given. Without a window program it says so.
#   tests/cli/window_handover.sh LANZO
set -uo pipefail
lanzo="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

mkdir -p "$work/bin/config" "$work/home"
cp "$lanzo" "$work/bin/lanzo"
printf 'x\r\n' >"$work/page one.html"

# No window program beside it (and none installed relative to it).
out="$("$work/bin/lanzo" --home "$work/home" "$work/page one.html" 2>&1)"
rc=$?
[ $rc -eq 2 ] || fail "missing window program: exit $rc, want 2"
grep -q "cannot start the window program" <<<"$out" || fail "missing window program: message was: $out"

# A stand-in window program that records its arguments, one per line.
cat >"$work/bin/lanzo-window" <<EOS
#!/bin/sh
for a in "\$@"; do printf '%s\n' "\$a"; done >"$work/args"
exit 7
EOS
chmod +x "$work/bin/lanzo-window"

"$work/bin/lanzo" --home "$work/home" -style=fusion "$work/page one.html"
rc=$?
[ $rc -eq 7 ] || fail "window program's exit status not passed on: $rc"
want="--home
$work/home
-style=fusion
$work/page one.html"
[ "$(cat "$work/args" 2>/dev/null)" == "$want" ] || fail "window program got: $(cat "$work/args" 2>/dev/null)"

# A portable copy (config/ beside the program) hands its own folder over.
rm -f "$work/args"
(cd "$work" && env -u LANZO_HOME ./bin/lanzo)
[ "$(sed -n 2p "$work/args" 2>/dev/null)" == "$work/bin" ] || fail "portable copy handed over: $(cat "$work/args" 2>/dev/null)"

# A mistyped command never reaches the window.
rm -f "$work/args"
out="$("$work/bin/lanzo" --home "$work/home" sortt 2>&1)"
[ $? -eq 2 ] && [ ! -e "$work/args" ] || fail "mistyped command: $out"

# Commands never start it.
printf 'a[1-2]\n' | "$work/bin/lanzo" --home "$work/home" expand >/dev/null || fail "expand failed"
[ ! -e "$work/args" ] || fail "a command started the window program"

[ $failed -eq 0 ] && echo "window hand-over: all passed"
exit $failed

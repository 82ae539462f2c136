#!/usr/bin/env bash
# Installs what is missing, builds, and starts Lanzo with the arguments given.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/deps.sh"
"$root/scripts/build.sh"
exec "$root/build/lanzo" "$@"

#!/usr/bin/env bash
# Runs tessivo --wait against the random hostile modem for many seeds and
# prints the seeds of any run that sent a password twice, to a SIM not
# waiting for it, or at its last try without --last-try.
# Usage: bench/wait_chaos.sh [BUILD-DIR] [FIRST-SEED] [COUNT]   (default build 1 1000)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
exec "$here/tests/chaos/wait_chaos.sh" "$build/tessivo" "$build/tessivo-modemsim" "${2:-1}" "${3:-1000}" 20

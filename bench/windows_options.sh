#!/usr/bin/env bash
# The OPTIONS path (405) of the Windows DLL under Wine beside the Linux
# module: the saturated answer rate of each phone with options_flood keeping
# IN_FLIGHT requests in flight, and the ratio. For information only: Wine's
# sockets go through its server process, which Windows does not have.
#
# Usage: bash bench/windows_options.sh [BIN_DIR] [WINDOWS_BIN_DIR]
#   (defaults: build/bin and build-win64/bin; WINEPREFIX as for the tests)
TALVENOR_WINDOWS_BIN=$(cd "${2:-$(dirname "${BASH_SOURCE[0]}")/../build-win64/bin}" && pwd) || exit 2
export TALVENOR_WINDOWS_BIN
# shellcheck source=bench/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "${1:-}"
interop_require wine cc
# shellcheck source=tests/windows/wine_lib.sh
source "$BENCH_DIR/../tests/windows/wine_lib.sh"
FLOOD_SECONDS=${FLOOD_SECONDS:-3}
IN_FLIGHT=${IN_FLIGHT:-32}
cc -O2 -Wall -Wextra -o "$WORK_DIR/options_flood" "$BENCH_DIR/options_flood.c" ||
  interop_fail "options_flood.c does not compile"

declare -A RATE
for system in Linux Windows; do
  phone_port=''
  interop_pick_udp_port phone_port
  PHONE_PROGRAM=''
  [[ $system == Windows ]] && PHONE_PROGRAM=$WINDOWS_PHONE
  PHONE_OPTIONS=(--no-audio)
  interop_start_phone "$phone_port"
  flood=$("$WORK_DIR/options_flood" 127.0.0.1 "$phone_port" "$FLOOD_SECONDS" "$IN_FLIGHT") ||
    interop_fail "options_flood got no answer from the $system phone: $flood"
  RATE[$system]=$(sed -n 's/.*rate=\([0-9]*\).*/\1/p' <<<"$flood")
  interop_stop_phone
  printf '%-8s %10s answers/s\n' "$system" "${RATE[$system]}"
done
awk -v w="${RATE[Windows]}" -v l="${RATE[Linux]}" 'BEGIN { printf "Windows under Wine / Linux: %.2f\n", w / l }'

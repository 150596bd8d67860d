#!/usr/bin/env bash
# Call setup time: SIPp (call_setup.xml) calls a nuvex-phone that answers by
# itself, CALLS times, at most LINES calls at once (the phone has four lines),
# and prints the time from the INVITE to the 180 and from the 180 to the 200
# (the answer thread opening media and sending the 200): median, 90th
# percentile and mean. Loopback only, inside a private network namespace.
#
# Usage: bash bench/call_setup.sh [BIN_DIR]     (default: build/bin)
# Environment: CALLS (default 1000), LINES (calls at once, default 2),
#   RATE (calls started per second, default 100).

# shellcheck source=bench/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
interop_require sipp

CALLS=${CALLS:-1000}
LINES=${LINES:-2}
RATE=${RATE:-100}

PHONE_OPTIONS=(--auto-answer)
interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Address=127.0.0.1"
interop_pick_udp_port local_port
interop_pick_udp_port media_port
(cd "$WORK_DIR" && timeout 300 sipp -sf "$BENCH_DIR/call_setup.xml" -i 127.0.0.1 -p "$local_port" \
  -mp "$media_port" -r "$RATE" -l "$LINES" -m "$CALLS" -nr -nd -nostdin -trace_rtt -rtt_freq 1 \
  "127.0.0.1:$phone_port" >"$WORK_DIR/sipp.stdout.log" 2>&1) || true
interop_phone_alive
interop_stop_phone
rtt=$(find "$WORK_DIR" -name '*_rtt.csv' -print -quit)
[[ -n $rtt ]] || interop_fail "SIPp wrote no response times (see $WORK_DIR/sipp.stdout.log)"

echo
echo "Call setup on loopback, $(nproc) cores, $CALLS calls, $LINES at once, the phone answering by itself"
printf '%-18s %-10s %-10s %-10s %s\n' measure "median" "90th" mean "calls"
for measure in 1 2; do
  label=$([[ $measure -eq 1 ]] && echo "INVITE -> 180" || echo "180 -> 200")
  awk -F';' -v m="$measure" '$3 == m { print $2 }' "$rtt" | sort -n | awk -v label="$label" '
    { value[NR] = $1; sum += $1 }
    END {
      if (NR == 0) { print label ": no samples"; exit 1 }
      printf "%-18s %-10s %-10s %-10s %d\n", label, sprintf("%.3f ms", value[int((NR + 1) / 2)]),
             sprintf("%.3f ms", value[int(NR * 0.9 + 0.5)]), sprintf("%.3f ms", sum / NR), NR
    }'
done

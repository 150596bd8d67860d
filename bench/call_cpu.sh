#!/usr/bin/env bash
# CPU per second of a connected G.711 (PCMU) call on loopback: two phones
# calling each other, beside two baresip instances (headless, audio from a
# file) calling each other the same way. Both pairs send a frame every
# 20-40 ms both ways for SECONDS; the CPU time of both processes of a pair is
# read from /proc over the connected stretch. Inside a private network
# namespace.
#
# Usage: bash bench/call_cpu.sh [BIN_DIR]     (default: build/bin)
# Environment: SECONDS_CONNECTED (default 10).

# shellcheck source=bench/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
interop_require baresip sox
LENGTH=${SECONDS_CONNECTED:-10}

# A tone long enough for the whole call, as both ends' microphone.
sox -n -r 8000 -c 1 -b 16 "$WORK_DIR/tone.wav" synth $((LENGTH + 5)) sine 440 vol 0.3

# measure PID1 PID2: CPU ms per second of both over LENGTH seconds.
measure() {
  local before after
  before=$(cpu_ticks "$1" "$2")
  sleep "$LENGTH"
  after=$(cpu_ticks "$1" "$2")
  awk -v t=$((after - before)) -v hz="$CLOCK_TICKS" -v s="$LENGTH" 'BEGIN { printf "%.1f", t / hz * 1000 / s }'
}

# Two phones.
interop_pick_udp_port answer_port
interop_pick_udp_port call_port
PHONE_OPTIONS=(--auto-answer --play "$WORK_DIR/tone.wav")
interop_start_phone "$answer_port" "VoIP=1,0,0,0,0,8000"
answerer=$PHONE_PID
"$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/caller" --data-dir "$WORK_DIR" --set "Port=0,0,$call_port" \
  --set "VoIP=1,0,0,0,0,8100" --call "x@127.0.0.1:$answer_port" --play "$WORK_DIR/tone.wav" >"$WORK_DIR/caller.log" 2>&1 &
caller=$!
interop_track_pid "$caller"
interop_wait_for_line "$PHONE_LOG" '^connected$' 10 "$answerer" || interop_fail "the phones did not connect"
sleep 1
phones=$(measure "$answerer" "$caller")
kill -TERM "$caller"
wait "$caller" || true
interop_untrack_pid "$caller"
interop_stop_phone

# Two baresips.
interop_pick_udp_port answer_port
interop_pick_udp_port call_port
interop_baresip_config "$WORK_DIR/bs-answer" "$answer_port" PCMU auto "$WORK_DIR/tone.wav"
interop_baresip_config "$WORK_DIR/bs-call" "$call_port" PCMU manual "$WORK_DIR/tone.wav"
baresip -f "$WORK_DIR/bs-answer" -t $((LENGTH + 20)) </dev/null >"$WORK_DIR/bs-answer.log" 2>&1 &
answerer=$!
interop_track_pid "$answerer"
sleep 1
baresip -f "$WORK_DIR/bs-call" -e "/dial sip:bs@127.0.0.1:$answer_port" -t $((LENGTH + 20)) </dev/null \
  >"$WORK_DIR/bs-call.log" 2>&1 &
caller=$!
interop_track_pid "$caller"
interop_wait_for_line "$WORK_DIR/bs-call.log" 'Call established' 10 "$caller" || interop_fail "the baresips did not connect"
sleep 1
baresips=$(measure "$answerer" "$caller")
kill -TERM "$caller" "$answerer" 2>/dev/null || true
wait "$caller" "$answerer" 2>/dev/null || true
interop_untrack_pid "$caller"
interop_untrack_pid "$answerer"

echo
echo "CPU of a connected PCMU call on loopback, both ends together, over $LENGTH s, $(nproc) cores"
printf '%-22s %s ms per second\n' "two nuvex-phones" "$phones" "two baresips" "$baresips"
awk -v a="$phones" -v b="$baresips" 'BEGIN { if (b > 0) printf "ratio                  %.2f\n", a / b }'

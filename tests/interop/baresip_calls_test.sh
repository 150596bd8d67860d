#!/usr/bin/env bash
# Calls between the phone and baresip (headless, its audio from and to
# files), both ways, with PCMU, PCMA and GSM: a sentence spoken by espeak-ng
# is played at one end and what the other end decoded must match it
# (normalised cross-correlation at the best delay).
#   - baresip calls the phone, which answers by itself and records;
#   - the phone calls baresip, which answers by itself; baresip's sndfile
#     module keeps what it decoded;
#   - baresip holds a call from the phone past the inactivity limit and
#     resumes it.
#
# Usage: bash baresip_calls_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require baresip espeak-ng sox
compare=$BIN_DIR/../test-hosts/talvenor-wav-compare
[[ -x $compare ]] || interop_fail "$compare is missing; build first"

espeak-ng -w "$WORK_DIR/speech22k.wav" "Talvenor and baresip carry this sentence from one end to the other."
sox "$WORK_DIR/speech22k.wav" -r 8000 -c 1 -b 16 "$WORK_DIR/speech.wav"

# name, the phone's VoIP flags (PCMU, PCMA, GSM, G.729), the least correlation a working path reaches
for codec in "PCMU 1,0,0,0 0.95" "PCMA 0,1,0,0 0.95" "GSM 0,0,1,0 0.80"; do
  read -r name flags minimum <<<"$codec"

  # baresip calls the phone; it hangs up when the sentence has been played.
  phone_port='' baresip_port=''
  interop_pick_udp_port phone_port
  interop_pick_udp_port baresip_port
  PHONE_OPTIONS=(--auto-answer --record "$WORK_DIR/phone-heard-$name.wav")
  interop_start_phone "$phone_port" "VoIP=$flags,0,8000"
  dir=$WORK_DIR/baresip-calls-$name
  interop_baresip_config "$dir" "$baresip_port" "$name" manual "$WORK_DIR/speech.wav"
  timeout 30 baresip -f "$dir" -e "/dial sip:x@127.0.0.1:$phone_port" -t 15 </dev/null >"$dir/log" 2>&1 || true
  interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" ||
    interop_fail "$name: the call from baresip did not end normally:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
  interop_stop_phone
  grep -q "^info: RTP\\\\$name " "$PHONE_LOG" || interop_fail "$name: the phone did not receive $name from baresip"
  "$compare" "$WORK_DIR/speech.wav" "$WORK_DIR/phone-heard-$name.wav" "$minimum" ||
    interop_fail "$name: what the phone heard from baresip does not match the sentence"

  # The phone calls baresip, plays the sentence and hangs up.
  interop_pick_udp_port phone_port
  interop_pick_udp_port baresip_port
  dir=$WORK_DIR/baresip-answers-$name
  interop_baresip_config "$dir" "$baresip_port" "$name" auto "$WORK_DIR/speech.wav" dump
  baresip -f "$dir" -t 30 </dev/null >"$dir/log" 2>&1 &
  baresip_pid=$!
  interop_track_pid "$baresip_pid"
  waited=0
  until interop_udp_bound "$baresip_port" || ((waited > 100)); do
    sleep 0.05
    waited=$((waited + 1))
  done
  status=0
  timeout 30 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/caller-$name" --data-dir "$WORK_DIR" \
    --set "Port=0,0,$phone_port" --set "VoIP=$flags,0,8100" --call "bs@127.0.0.1:$baresip_port" \
    --play "$WORK_DIR/speech.wav" --hangup-after 6 --exit-when-idle >"$WORK_DIR/caller-$name.log" 2>&1 || status=$?
  kill -TERM "$baresip_pid" 2>/dev/null || true
  wait "$baresip_pid" 2>/dev/null || true
  interop_untrack_pid "$baresip_pid"
  [[ $status -eq 0 ]] || interop_fail "$name: the phone's call to baresip failed ($status):$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/caller-$name.log")"
  heard=$(find "$dir" -name 'dump-*-dec.wav' -print -quit)
  [[ -n $heard ]] || interop_fail "$name: baresip kept no recording of the call"
  "$compare" "$WORK_DIR/speech.wav" "$heard" "$minimum" ||
    interop_fail "$name: what baresip heard from the phone does not match the sentence"
  interop_log "$name: the sentence arrived both ways"
done

# baresip holds a call from the phone for longer than the phone's
# inactivity limit, then resumes it through its console: the call stays up,
# the phone says so, and a tone flows again both ways (baresip's own
# figures) until the phone hangs up.
sox -n -r 8000 -c 1 -b 16 "$WORK_DIR/tone.wav" synth 50 sine 1020 vol 0.5
interop_pick_udp_port phone_port
interop_pick_udp_port baresip_port
interop_pick_udp_port console_port
dir=$WORK_DIR/baresip-holds
interop_baresip_config "$dir" "$baresip_port" PCMU auto "$WORK_DIR/tone.wav"
printf 'module\t\t\tcons.so\ncons_listen\t\t127.0.0.1:%s\n' "$console_port" >>"$dir/config"
baresip -f "$dir" -t 60 </dev/null >"$dir/log" 2>&1 &
baresip_pid=$!
interop_track_pid "$baresip_pid"
until interop_udp_bound "$console_port"; do sleep 0.05; done
(sleep 3 && echo /hold >"/dev/udp/127.0.0.1/$console_port" && sleep 32 && echo /resume >"/dev/udp/127.0.0.1/$console_port") &
status=0
timeout 60 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/holder" --data-dir "$WORK_DIR" --set "Port=0,0,$phone_port" \
  --call "bs@127.0.0.1:$baresip_port" --play "$WORK_DIR/tone.wav" --hangup-after 42 --exit-when-idle \
  >"$WORK_DIR/held.log" 2>&1 || status=$?
kill -TERM "$baresip_pid" 2>/dev/null || true
wait "$baresip_pid" 2>/dev/null || true
interop_untrack_pid "$baresip_pid"
[[ $status -eq 0 ]] && grep -q "^info: held by the far end$" "$WORK_DIR/held.log" &&
  grep -q "^info: resumed$" "$WORK_DIR/held.log" && grep -q "^ended: normal$" "$WORK_DIR/held.log" ||
  interop_fail "held call: exit $status:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/held.log")"
tr '\r' '\n' <"$dir/log" | sed -n '/call: resume/,$p' | grep -c 'audio=[1-9][0-9]*/[1-9]' >/dev/null ||
  interop_fail "held call: no audio flowed after the resume"
interop_log "a call held past the inactivity limit stays up and carries audio again once resumed"

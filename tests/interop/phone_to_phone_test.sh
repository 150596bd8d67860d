#!/usr/bin/env bash
# Two phones call each other once per codec (PCMU, PCMA, GSM, G.729): one
# answers by itself and records, the other calls, plays a spoken sentence
# made with espeak-ng and hangs up. The recording must match the sentence
# (normalised cross-correlation at the best delay), both phones must end
# cleanly, and the codec must be the one both were limited to.
#
# Usage: bash phone_to_phone_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require espeak-ng sox
compare=$BIN_DIR/../test-hosts/talvenor-wav-compare
[[ -x $compare ]] || interop_fail "$compare is missing; build first"

espeak-ng -w "$WORK_DIR/speech22k.wav" "Talvenor carries this sentence from one phone to the other, word for word."
sox "$WORK_DIR/speech22k.wav" -r 8000 -c 1 -b 16 "$WORK_DIR/speech.wav"

# name, VoIP flags (PCMU, PCMA, GSM, G.729), the least correlation a working codec reaches here
for codec in "PCMU 1,0,0,0 0.95" "PCMA 0,1,0,0 0.95" "GSM 0,0,1,0 0.80" "G729 0,0,0,1 0.60"; do
  read -r name flags minimum <<<"$codec"
  answer_port='' call_port=''
  interop_pick_udp_port answer_port
  interop_pick_udp_port call_port
  PHONE_OPTIONS=(--auto-answer --record "$WORK_DIR/received-$name.wav")
  interop_start_phone "$answer_port" "VoIP=$flags,0,8000"
  answerer_log=$PHONE_LOG
  status=0
  timeout 30 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/caller-$name" --data-dir "$WORK_DIR" \
    --set "Port=0,0,$call_port" --set "VoIP=$flags,0,8100" --call "x@127.0.0.1:$answer_port" \
    --play "$WORK_DIR/speech.wav" --hangup-after 6 --exit-when-idle >"$WORK_DIR/caller-$name.log" 2>&1 || status=$?
  [[ $status -eq 0 ]] || interop_fail "$name: the calling phone exited with $status:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/caller-$name.log")"
  interop_stop_phone
  grep -q "^info: RTP\\\\$name " "$answerer_log" ||
    interop_fail "$name: the answering phone did not receive $name:$(printf '\n'; sed 's/^/  | /' "$answerer_log")"
  grep -q "^ended: normal$" "$answerer_log" || interop_fail "$name: the answering phone saw no normal end"
  "$compare" "$WORK_DIR/speech.wav" "$WORK_DIR/received-$name.wav" "$minimum" ||
    interop_fail "$name: the recording does not match the sentence played"
  interop_log "$name: the sentence arrived"
done

#!/usr/bin/env bash
# A phone whose audio is the sound card (ALSA's null device, which neither
# records nor plays and does not keep time) answers a call from a phone that
# records: the call connects and ends normally, and the recording holds as
# many seconds as the call lasted, because the sound card's loop keeps to
# real time even when the card does not pace it.
#
# Usage: bash sound_card_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require soxi

export HOME=$WORK_DIR/home
mkdir -p "$HOME"
printf 'pcm.!default {\n  type null\n}\n' >"$HOME/.asoundrc"

answer_port='' call_port=''
interop_pick_udp_port answer_port
interop_pick_udp_port call_port
PHONE_OPTIONS=(--auto-answer)
interop_start_phone "$answer_port" "Address=127.0.0.1"
grep -q '^Audio: the sound card$' "$PHONE_LOG" ||
  interop_fail "the answering phone did not take the sound card:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"

status=0
timeout 30 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/caller" --data-dir "$WORK_DIR" \
  --set "Port=0,0,$call_port" --set "Address=127.0.0.1" --call "x@127.0.0.1:$answer_port" \
  --record "$WORK_DIR/received.wav" --hangup-after 4 --exit-when-idle >"$WORK_DIR/caller.log" 2>&1 || status=$?
[[ $status -eq 0 ]] || interop_fail "the calling phone exited with $status:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/caller.log")"
interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" || interop_fail "the answering phone saw no normal end"
interop_phone_alive
interop_stop_phone

seconds=$(soxi -D "$WORK_DIR/received.wav")
awk -v s="$seconds" 'BEGIN { exit !(s >= 2 && s <= 8) }' ||
  interop_fail "a 4 s call brought $seconds s of audio from the sound card's phone"
interop_log "the sound card's phone sent $seconds s of audio in a 4 s call"

#!/usr/bin/env bash
# G.729 calls between the phone and linphonec (headless, its sound from and
# to WAV files), both ways, with G.729 the only codec at both ends:
#   - linphonec calls the phone, which answers by itself; linphonec hangs up;
#   - the phone calls linphonec, which answers by itself; the phone hangs up;
#   - linphonec calls the phone again, holds the call past the phone's
#     inactivity limit and resumes it (G.729 on the wire again after it).
# In the first two calls both ends play a sentence spoken by espeak-ng and record what
# they decode, and each recording must match the sentence. The capture on
# loopback must show the phone's SDP with payload type 18 alone, linphonec's
# with 18 first, and RTP of type 18, and of no other type, both ways.
#
# Usage: bash linphone_g729_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require linphonec espeak-ng sox tshark
compare=$BIN_DIR/../test-hosts/talvenor-wav-compare
[[ -x $compare ]] || interop_fail "$compare is missing; build first"

espeak-ng -w "$WORK_DIR/speech22k.wav" "Talvenor and linphone carry this sentence from one end to the other."
sox "$WORK_DIR/speech22k.wav" -r 8000 -c 1 -b 16 "$WORK_DIR/speech.wav"
# G.729 reaches about 0.8 here; silence, noise, another sentence or audio
# decoded with the wrong codec stay far below.
minimum=0.60

# linphonec on loopback, UDP only, G.729 only, without echo cancellation on
# what it sends; it answers by itself and reads its commands from a pipe.
lp_port='' lp_rtp=''
interop_pick_udp_port lp_port
interop_pick_udp_port lp_rtp
lp_dir=$WORK_DIR/linphonec
mkdir -p "$lp_dir/home/.local/share/linphone"
cat >"$lp_dir/linphonerc" <<EOF
[sip]
sip_port=$lp_port
sip_tcp_port=0
sip_tls_port=0
contact=sip:lp@127.0.0.1
[rtp]
audio_rtp_port=$lp_rtp
audio_adaptive_jitt_comp_enabled=0
[sound]
echocancellation=0
[misc]
add_missing_audio_codecs=0
[audio_codec_0]
mime=G729
rate=8000
channels=1
enabled=1
EOF
mkfifo "$lp_dir/commands"
HOME=$lp_dir/home linphonec -c "$lp_dir/linphonerc" -a -d 6 -l "$lp_dir/debug.log" \
  <"$lp_dir/commands" >"$lp_dir/out.log" 2>&1 &
lp_pid=$!
interop_track_pid "$lp_pid"
exec 3>"$lp_dir/commands"
lp() { printf '%s\n' "$*" >&3; }
# What linphonec printed, and the last errors of its SIP stack.
lp_output() {
  printf '\n'
  sed 's/^/  | /' "$lp_dir/out.log"
  printf '\n'
  grep 'belle-sip-error-' "$lp_dir/debug.log" 2>/dev/null | tail -n 3 | sed 's/^/  | /'
}
waited=0
until interop_udp_bound "$lp_port"; do
  if ! kill -0 "$lp_pid" 2>/dev/null || ((waited++ > 300)); then
    interop_fail "linphonec opened no SIP port $lp_port:$(lp_output)"
  fi
  sleep 0.05
done
lp soundcard use files
lp play "$WORK_DIR/speech.wav"

# capture_start FILE: captures loopback UDP into FILE and returns once the
# capture holds a datagram sent after it began, so no INVITE slips by.
capture_start() {
  local probe_port='' waited=0
  interop_pick_udp_port probe_port
  CAPTURE_LOG=$1.capture.log
  tshark -i lo -f "udp and host 127.0.0.1" -w "$1" -P -l -T fields -e udp.dstport >"$1.seen" 2>"$CAPTURE_LOG" &
  CAPTURE_PID=$!
  interop_track_pid "$CAPTURE_PID"
  until grep -qx "$probe_port" "$1.seen"; do
    if ! kill -0 "$CAPTURE_PID" 2>/dev/null || ((waited++ > 300)); then
      interop_fail "tshark did not start capturing on lo:$(printf '\n'; sed 's/^/  | /' "$CAPTURE_LOG")"
    fi
    echo probe >"/dev/udp/127.0.0.1/$probe_port" 2>/dev/null || true
    sleep 0.05
  done
}

# check_wire NAME CAPTURE: the phone's SDP carries payload type 18 alone,
# linphonec's puts 18 first, and RTP of type 18 flowed both ways.
check_wire() {
  local name=$1 capture=$2 sdp phone_media lp_media phone_rtp lp_media_port
  sdp=$(tshark -r "$capture" -Y 'sip && sdp' -T fields -e udp.srcport -e sdp.media 2>/dev/null)
  phone_media=$(awk -F'\t' -v port="$PHONE_PORT" '$1 == port { print $2 }' <<<"$sdp" | sort -u)
  lp_media=$(awk -F'\t' -v port="$lp_port" '$1 == port { print $2 }' <<<"$sdp" | sort -u)
  [[ $phone_media =~ ^audio\ ([0-9]+)\ RTP/AVP\ 18$ ]] ||
    interop_fail "$name: the phone's SDP does not carry G.729 alone: '$phone_media'"
  phone_rtp=${BASH_REMATCH[1]}
  [[ $lp_media =~ ^audio\ ([0-9]+)\ RTP/AVP\ 18( |$) ]] ||
    interop_fail "$name: linphonec's SDP does not put G.729 first: '$lp_media'"
  lp_media_port=${BASH_REMATCH[1]}
  local packets from_phone from_lp others
  # linphonec also sends STUN on its RTP port; RTP is what has version 2.
  packets=$(tshark -r "$capture" -d "udp.port==$phone_rtp,rtp" -d "udp.port==$lp_media_port,rtp" \
    -Y "rtp.version == 2 && udp.port == $phone_rtp && udp.port == $lp_media_port" \
    -T fields -e udp.srcport -e rtp.p_type 2>/dev/null)
  from_phone=$(awk -v port="$phone_rtp" '$1 == port && $2 == 18' <<<"$packets" | wc -l)
  from_lp=$(awk -v port="$lp_media_port" '$1 == port && $2 == 18' <<<"$packets" | wc -l)
  others=$(awk 'NF && $2 != 18' <<<"$packets" | wc -l)
  # The sentence alone lasts 3.5 s: at least 88 packets of 40 ms.
  ((from_phone >= 88 && from_lp >= 88 && others == 0)) ||
    interop_fail "$name: RTP of payload type 18: $from_phone from the phone, $from_lp from linphonec; $others of other types"
  interop_log "$name: G.729 on the wire ($from_phone packets from the phone, $from_lp from linphonec)"
}

# check_phone_heard NAME FILE: the phone's recording matches the sentence
# (normalised cross-correlation at the best delay).
check_phone_heard() {
  local result status=0
  result=$("$compare" "$WORK_DIR/speech.wav" "$2" "$minimum" 2>&1) || status=$?
  [[ $status -eq 0 ]] || interop_fail "$1: what the phone heard does not match the sentence: $result"
  interop_log "$1: the phone heard the sentence ($result)"
}

# check_linphonec_heard NAME FILE: linphonec's playout shifts by 10 to 40 ms
# now and then (its jitter buffer and loss concealment follow the clock), so
# its recording is matched half a second of the sentence at a time, each
# piece at its own best delay: two pieces in three must reach the minimum
# (another sentence reaches it in none).
check_linphonec_heard() {
  local name=$1 heard=$2 length start result passed=0 pieces=0 results=''
  length=$(soxi -s "$WORK_DIR/speech.wav")
  for ((start = 0; start + 4000 <= length; start += 4000)); do
    sox "$WORK_DIR/speech.wav" "$WORK_DIR/piece-sent.wav" trim "${start}s" 4000s
    sox "$heard" "$WORK_DIR/piece-heard.wav" trim "${start}s" 20000s 2>/dev/null
    result=$("$compare" "$WORK_DIR/piece-sent.wav" "$WORK_DIR/piece-heard.wav" "$minimum" 2>&1) && passed=$((passed + 1))
    pieces=$((pieces + 1))
    results+=" ${result#correlation }"$'\n'
  done
  ((pieces > 0 && passed * 3 >= pieces * 2)) ||
    interop_fail "$name: what linphonec heard does not match the sentence ($passed of $pieces pieces):"$'\n'"$results"
  interop_log "$name: linphonec heard the sentence ($passed of $pieces pieces)"
}

# linphonec calls the phone, which answers by itself; linphonec hangs up once
# the sentence is through.
phone_port=''
interop_pick_udp_port phone_port
PHONE_OPTIONS=(--auto-answer --play "$WORK_DIR/speech.wav" --record "$WORK_DIR/phone-heard-1.wav")
interop_start_phone "$phone_port" "VoIP=0,0,0,1,0,8000" "Address=127.0.0.1"
capture_start "$WORK_DIR/incoming.pcap"
lp record "$WORK_DIR/linphonec-heard-1.wav"
lp call "sip:x@127.0.0.1:$phone_port"
interop_wait_for_line "$lp_dir/out.log" 'Call 1 with .* connected' 15 "$lp_pid" ||
  interop_fail "incoming: linphonec's call was not answered:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")$(lp_output)"
sleep 6
lp terminate
interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" ||
  interop_fail "incoming: the call from linphonec did not end normally:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")$(lp_output)"
interop_wait_for_line "$lp_dir/out.log" 'Call 1 with .* ended' 10 "$lp_pid" ||
  interop_fail "incoming: linphonec did not see the call end:$(lp_output)"
interop_capture_stop
interop_stop_phone
grep -q '^info: RTP\\G729 ' "$PHONE_LOG" || interop_fail "incoming: the phone did not receive G.729 from linphonec"
check_wire incoming "$WORK_DIR/incoming.pcap"
check_phone_heard incoming "$WORK_DIR/phone-heard-1.wav"
check_linphonec_heard incoming "$WORK_DIR/linphonec-heard-1.wav"

# The phone calls linphonec, which answers by itself; the phone hangs up once
# the sentence is through and exits.
interop_pick_udp_port phone_port
PHONE_OPTIONS=(--call "lp@127.0.0.1:$lp_port" --play "$WORK_DIR/speech.wav" --record "$WORK_DIR/phone-heard-2.wav"
  --hangup-after 6 --exit-when-idle)
capture_start "$WORK_DIR/outgoing.pcap"
lp record "$WORK_DIR/linphonec-heard-2.wav"
interop_start_phone "$phone_port" "VoIP=0,0,0,1,0,8000" "Address=127.0.0.1"
waited=0
while kill -0 "$PHONE_PID" 2>/dev/null && ((waited++ < 600)); do
  sleep 0.05
done
kill -0 "$PHONE_PID" 2>/dev/null &&
  interop_fail "outgoing: the phone was still running 30 s after calling linphonec:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")$(lp_output)"
status=0
wait "$PHONE_PID" || status=$?
interop_untrack_pid "$PHONE_PID"
PHONE_PID=
[[ $status -eq 0 ]] ||
  interop_fail "outgoing: the phone's call to linphonec failed ($status):$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")$(lp_output)"
grep -q '^ended: normal$' "$PHONE_LOG" ||
  interop_fail "outgoing: the phone's call did not end normally:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")$(lp_output)"
waited=0
until [[ $(grep -c -E 'Call [0-9]+ with .* ended' "$lp_dir/out.log") -ge 2 ]]; do
  ((waited++ < 200)) || interop_fail "outgoing: linphonec did not see the call end:$(lp_output)"
  sleep 0.05
done
interop_capture_stop
grep -q '^info: RTP\\G729 ' "$PHONE_LOG" || interop_fail "outgoing: the phone did not receive G.729 from linphonec"
check_wire outgoing "$WORK_DIR/outgoing.pcap"
check_linphonec_heard outgoing "$WORK_DIR/linphonec-heard-2.wav"
check_phone_heard outgoing "$WORK_DIR/phone-heard-2.wav"

# linphonec holds a call to the phone past the phone's inactivity limit and
# resumes it: the call stays up, and the phone's tone reaches linphonec again.
sox -n -r 8000 -c 1 -b 16 "$WORK_DIR/tone.wav" synth 50 sine 1020 vol 0.5
interop_pick_udp_port phone_port
PHONE_OPTIONS=(--auto-answer --play "$WORK_DIR/tone.wav")
interop_start_phone "$phone_port" "VoIP=0,0,0,1,0,8000" "Address=127.0.0.1"
lp call "sip:x@127.0.0.1:$phone_port"
interop_wait_for_line "$lp_dir/out.log" 'Call 3 with .* connected' 15 "$lp_pid" || interop_fail "held: no call$(lp_output)"
lp pause
interop_wait_for_line "$PHONE_LOG" '^info: held by the far end$' 5 "$PHONE_PID" || interop_fail "held: not held$(lp_output)"
sleep 30
lp resume
interop_wait_for_line "$PHONE_LOG" '^info: resumed$' 5 "$PHONE_PID" || interop_fail "held: not resumed$(lp_output)"
capture_start "$WORK_DIR/resumed.pcap"
sleep 2
lp terminate
interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" ||
  interop_fail "held: the call did not last until linphonec ended it:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
interop_capture_stop
interop_stop_phone
tones=$(tshark -r "$WORK_DIR/resumed.pcap" -d "udp.port==$lp_rtp,rtp" -Y "rtp.version == 2 && udp.dstport == $lp_rtp" | wc -l)
((tones > 25)) || interop_fail "held: $tones RTP packets reached linphonec after the resume"
interop_log "held: the call outlived the hold and carries audio again ($tones packets after the resume)"

lp quit

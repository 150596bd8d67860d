#!/usr/bin/env bash
# Calls between the phone and SIPp, both ways:
#  - SIPp calls the phone as a session border controller with no offer in
#    its INVITE, and the phone answers by itself: 100, 180 with a tag, 200
#    with an SDP offer, ACK with the answer (the call connects there, before
#    any RTP), hold, an in-dialog OPTIONS, resume by a re-INVITE without an
#    offer (the phone's RTP flows again after its ACK; see call_in_uac.xml),
#    then a spoken sentence as G.711 RTP from SIPp (the phone's recording
#    must match it), BYE answered 200, and the phone reports the caller and
#    a normal end;
#  - SIPp gives up while the phone rings, its requests written with compact
#    header names: 200 for the CANCEL, 487 for the INVITE, and the phone
#    reports a failed end;
#  - the phone refuses a call with a reason: 480 repeated until SIPp's ACK,
#    and the phone hears its reason back;
#  - the phone calls a busy SIPp: the 486 is acknowledged and the phone ends
#    "busy", exiting non-zero;
#  - the phone calls a SIPp that never answers: exactly 6 INVITEs, then
#    "no response".
#
# Usage: bash calls_sipp_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp espeak-ng sox tshark
rtp_pcap=$BIN_DIR/../test-hosts/talvenor-rtp-pcap
compare=$BIN_DIR/../test-hosts/talvenor-wav-compare
[[ -x $rtp_pcap && -x $compare ]] || interop_fail "the test tools are missing; build first"
espeak-ng -w "$WORK_DIR/speech22k.wav" "SIPp plays this sentence into the call."
sox "$WORK_DIR/speech22k.wav" -r 8000 -c 1 -b 16 "$WORK_DIR/speech.wav"
sox "$WORK_DIR/speech.wav" -e u-law -t raw "$WORK_DIR/speech.ulaw"
"$rtp_pcap" "$WORK_DIR/speech.ulaw" "$WORK_DIR/speech.pcap" || interop_fail "cannot make the RTP capture"

phone_port='' probe_port='' media_port=''
interop_pick_udp_port media_port

sox "$WORK_DIR/speech.wav" "$WORK_DIR/spoken.wav" repeat 20  # the phone speaks through the whole call
PHONE_OPTIONS=(--auto-answer --record "$WORK_DIR/heard.wav" --play "$WORK_DIR/spoken.wav")
interop_pick_udp_port phone_port
interop_start_phone "$phone_port"
interop_pick_udp_port probe_port
interop_capture_start "$WORK_DIR/call-in.pcap" "udp"
# The call is held for 30 s of it: longer than the phone's inactivity limit.
(cd "$WORK_DIR" && interop_sipp call_in call_in_uac.xml "$probe_port" -mp "$media_port" -cid_str "call-in-%u-%p@%s" \
  -timeout 50s)
interop_capture_stop
# The ACK answering the phone's offer resumes the call: its voice flows again.
resumed_at=$(tshark -r "$WORK_DIR/call-in.pcap" -d "udp.port==$probe_port,sip" \
  -Y 'sip.Method == "ACK" && sip.CSeq.seq == 5' -T fields -e frame.time_relative | head -n 1)
voice=$(tshark -r "$WORK_DIR/call-in.pcap" -Y "udp.dstport == $media_port && frame.time_relative > ${resumed_at:-1e9}" | wc -l)
((voice >= 100)) || interop_fail "the phone sent $voice RTP packets after the resuming ACK, expected 100 or more"
# SIPp sends no RTP before the hold: the call connects at the ACK of the 200.
connected_at=$(grep -n -m1 '^connected$' "$PHONE_LOG" | cut -d: -f1)
held_at=$(grep -n -m1 '^info: held by the far end$' "$PHONE_LOG" | cut -d: -f1)
((${connected_at:-1000} < ${held_at:-0})) ||
  interop_fail "the answered call did not connect at the ACK:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" ||
  interop_fail "the phone did not report a normal end:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
grep -q '^incoming call: 1234#lab "Front"$' "$PHONE_LOG" ||
  interop_fail "the phone was not offered 1234#lab from Front:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
interop_stop_phone
"$compare" "$WORK_DIR/speech.wav" "$WORK_DIR/heard.wav" 0.95 ||
  interop_fail "what the phone heard from SIPp does not match the sentence"

PHONE_OPTIONS=(--auto-answer=30)  # rings long enough to be cancelled
interop_pick_udp_port phone_port
interop_start_phone "$phone_port"
interop_pick_udp_port probe_port
interop_sipp call_in_cancel call_in_cancel_uac.xml "$probe_port" -mp "$media_port" -cid_str "cancel-%u-%p@%s"
interop_wait_for_line "$PHONE_LOG" '^ended: failed$' 10 "$PHONE_PID" ||
  interop_fail "the cancelled call did not end as failed:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
interop_stop_phone

PHONE_OPTIONS=(--reject 17)  # a reason of the host's own
interop_pick_udp_port phone_port
interop_start_phone "$phone_port"
interop_pick_udp_port probe_port
interop_sipp rejected call_in_rejected_uac.xml "$probe_port" -mp "$media_port" -cid_str "rejected-%u-%p@%s"
interop_wait_for_line "$PHONE_LOG" '^ended: rejected \(17\)$' 10 "$PHONE_PID" ||
  interop_fail "the refused call did not end with its reason:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
interop_stop_phone

# run_peer NAME SCENARIO EXPECTED_END: SIPp as the called phone, the phone
# calling it and exiting once the call ended (non-zero: it never connected).
run_peer() {
  local name=$1 scenario=$2 expected=$3 peer_port='' call_port='' status=0
  interop_pick_udp_port peer_port
  interop_pick_udp_port call_port
  timeout 40 sipp -sf "$INTEROP_DIR/$scenario" -m 1 -i 127.0.0.1 -p "$peer_port" -nostdin -nr -nd \
    -trace_err -error_file "$WORK_DIR/$name.errors.log" -trace_msg -message_file "$WORK_DIR/$name.messages.log" \
    >"$WORK_DIR/$name.stdout.log" 2>&1 &
  local peer=$!
  interop_track_pid "$peer"
  local waited=0
  until interop_udp_bound "$peer_port" || ((waited > 100)); do
    sleep 0.05
    waited=$((waited + 1))
  done
  timeout 30 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/$name-config" --data-dir "$WORK_DIR" \
    --set "Port=0,0,$call_port" --call "lab@127.0.0.1:$peer_port" --exit-when-idle >"$WORK_DIR/$name.phone.log" 2>&1 ||
    status=$?
  [[ $status -eq 1 ]] || interop_fail "$name: the phone exited with $status, expected 1 (never connected)"
  grep -q "^ended: $expected\$" "$WORK_DIR/$name.phone.log" ||
    interop_fail "$name: no '$expected' end:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/$name.phone.log")"
  local peer_status=0
  wait "$peer" || peer_status=$?
  interop_untrack_pid "$peer"
  [[ $peer_status -eq 0 ]] || interop_fail "$name: SIPp failed ($peer_status):$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/$name.errors.log" 2>/dev/null)"
}

run_peer busy busy_uas.xml busy
run_peer silent silent_uas.xml "no response"
# SIPp logs a retransmission once more as "Unexpected": count the arrivals.
invites=$(awk '/^UDP message received/ { want = 1; next }
               want && NF { if (index($0, "INVITE sip:") == 1) n++; want = 0 }
               END { print n + 0 }' "$WORK_DIR/silent.messages.log")
[[ $invites -eq 6 ]] || interop_fail "a far end that never answers got $invites INVITEs, expected 6"

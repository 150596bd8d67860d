#!/usr/bin/env bash
# SIPp calls the phone and plays a spoken sentence into the call as G.711
# RTP, once as it was sent and once through a poor network: 3 % of the
# packets lost, each delayed by 0 to 60 ms (so that later packets overtake
# earlier ones), drawn with a fixed seed. The phone's recording is compared
# with the sentence as G.711 carries it, frame by frame after alignment
# (segmental SNR):
#   - as sent: every 20 ms frame of speech arrives bit-exact;
#   - impaired: at most 6 % of the frames of speech fall below 10 dB.
#
# Usage: bash impaired_audio_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp espeak-ng sox
rtp_pcap=$BIN_DIR/../test-hosts/talvenor-rtp-pcap
compare=$BIN_DIR/../test-hosts/talvenor-wav-compare
[[ -x $rtp_pcap && -x $compare ]] || interop_fail "the test tools are missing; build first"

espeak-ng -w "$WORK_DIR/speech22k.wav" "The receive buffer puts every late packet back in its place."
# A second of silence before the words, as a call has before anyone speaks.
sox "$WORK_DIR/speech22k.wav" -r 8000 -c 1 -b 16 "$WORK_DIR/speech.wav" pad 1 0.5
sox "$WORK_DIR/speech.wav" -e u-law -t raw "$WORK_DIR/speech.ulaw"
# The best the phone can hear: the sentence through G.711.
sox -t raw -r 8000 -e u-law -c 1 "$WORK_DIR/speech.ulaw" -b 16 -e signed "$WORK_DIR/reference.wav"
"$rtp_pcap" "$WORK_DIR/speech.ulaw" "$WORK_DIR/clean.pcap" || interop_fail "cannot make the clean capture"
"$rtp_pcap" --seed 7 --loss 3 --jitter 60 "$WORK_DIR/speech.ulaw" "$WORK_DIR/impaired.pcap" ||
  interop_fail "cannot make the impaired capture"

# play_scenario PCAP: SIPp calls, plays PCAP once answered, then hangs up.
play_scenario() {
  cat <<XML
<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="sentence into the phone">
  <send retrans="500">
    <![CDATA[

      INVITE sip:lab@[remote_ip]:[remote_port] SIP/2.0
      Via: SIP/2.0/UDP [local_ip]:[local_port];branch=[branch]
      From: <sip:caller@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]
      To: <sip:lab@[remote_ip]:[remote_port]>
      Call-ID: [call_id]
      CSeq: 1 INVITE
      Contact: <sip:caller@[local_ip]:[local_port]>
      Max-Forwards: 70
      Content-Type: application/sdp
      Content-Length: [len]

      v=0
      o=- 1 1 IN IP4 [local_ip]
      s=-
      c=IN IP4 [media_ip]
      t=0 0
      m=audio [media_port] RTP/AVP 0
      a=rtpmap:0 PCMU/8000

    ]]>
  </send>
  <recv response="100" optional="true"/>
  <recv response="180" optional="true"/>
  <recv response="200"/>
  <send>
    <![CDATA[

      ACK sip:lab@[remote_ip]:[remote_port] SIP/2.0
      Via: SIP/2.0/UDP [local_ip]:[local_port];branch=[branch]
      From: <sip:caller@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]
      To: <sip:lab@[remote_ip]:[remote_port]>[peer_tag_param]
      Call-ID: [call_id]
      CSeq: 1 ACK
      Max-Forwards: 70
      Content-Length: 0

    ]]>
  </send>
  <nop>
    <action>
      <exec play_pcap_audio="$1"/>
    </action>
  </nop>
  <pause milliseconds="7000"/>
  <send retrans="500">
    <![CDATA[

      BYE sip:lab@[remote_ip]:[remote_port] SIP/2.0
      Via: SIP/2.0/UDP [local_ip]:[local_port];branch=[branch]
      From: <sip:caller@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]
      To: <sip:lab@[remote_ip]:[remote_port]>[peer_tag_param]
      Call-ID: [call_id]
      CSeq: 2 BYE
      Max-Forwards: 70
      Content-Length: 0

    ]]>
  </send>
  <recv response="200" crlf="true"/>
</scenario>
XML
}

# heard NAME PCAP: the phone's recording of PCAP played into a call.
heard() {
  local name=$1 pcap=$2 phone_port='' sipp_port='' media_port='' status=0
  play_scenario "$pcap" >"$WORK_DIR/$name.xml"
  PHONE_OPTIONS=(--auto-answer --record "$WORK_DIR/heard-$name.wav")
  interop_pick_udp_port phone_port
  interop_start_phone "$phone_port"
  interop_pick_udp_port sipp_port
  interop_pick_udp_port media_port
  (cd "$WORK_DIR" && timeout 60 sipp -sf "$WORK_DIR/$name.xml" -m 1 -i 127.0.0.1 -p "$sipp_port" -mp "$media_port" \
    -nostdin -nr -nd -timeout 30s -timeout_error -trace_err -error_file "$WORK_DIR/$name.errors.log" \
    "127.0.0.1:$phone_port" >"$WORK_DIR/$name.stdout.log" 2>&1) || status=$?
  [[ $status -eq 0 ]] ||
    interop_fail "$name: SIPp ended with $status:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/$name.errors.log" 2>/dev/null)"
  interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" ||
    interop_fail "$name: the call did not end normally:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
  interop_stop_phone
}

heard clean clean.pcap
result=$("$compare" --segmental "$WORK_DIR/reference.wav" "$WORK_DIR/heard-clean.wav" 0) ||
  interop_fail "clean: speech frames were damaged: $result"
interop_log "clean: $result"
[[ $result == *", bit-exact,"* ]] || interop_fail "clean: the sentence did not arrive bit-exact: $result"

heard impaired impaired.pcap
result=$("$compare" --segmental "$WORK_DIR/reference.wav" "$WORK_DIR/heard-impaired.wav" 6) ||
  interop_fail "impaired: more than 6 % bad frames: $result"
interop_log "impaired: $result"

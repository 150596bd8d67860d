# shellcheck shell=bash
# The spoken sentence and the two RTP streams that carry it, as sent and
# through a poor network, and the SIPp call that plays a stream into a
# receiver. Shared by impaired_audio_test.sh and bench/impaired_audio.sh;
# sourced after lib.sh and interop_init.

# impaired_streams_prepare: the sentence in WORK_DIR as G.711 carries it
# (reference.wav), and as RTP captures for SIPp: clean.pcap as sent,
# impaired.pcap with 3 % of the packets lost and each delayed by 0 to 60 ms,
# drawn with a fixed seed. Sets IMPAIRED_COMPARE to the scoring tool.
impaired_streams_prepare() {
  interop_require sipp espeak-ng sox
  local rtp_pcap=$BIN_DIR/../test-hosts/talvenor-rtp-pcap
  IMPAIRED_COMPARE=$BIN_DIR/../test-hosts/talvenor-wav-compare
  [[ -x $rtp_pcap && -x $IMPAIRED_COMPARE ]] || interop_fail "the test tools are missing; build first"

  espeak-ng -w "$WORK_DIR/speech22k.wav" "The receive buffer puts every late packet back in its place."
  # A second of silence before the words, as a call has before anyone speaks.
  sox "$WORK_DIR/speech22k.wav" -r 8000 -c 1 -b 16 "$WORK_DIR/speech.wav" pad 1 0.5
  sox "$WORK_DIR/speech.wav" -e u-law -t raw "$WORK_DIR/speech.ulaw"
  # The best a receiver can hear: the sentence through G.711.
  sox -t raw -r 8000 -e u-law -c 1 "$WORK_DIR/speech.ulaw" -b 16 -e signed "$WORK_DIR/reference.wav"
  "$rtp_pcap" "$WORK_DIR/speech.ulaw" "$WORK_DIR/clean.pcap" || interop_fail "cannot make the clean capture"
  "$rtp_pcap" --seed 7 --loss 3 --jitter 60 "$WORK_DIR/speech.ulaw" "$WORK_DIR/impaired.pcap" ||
    interop_fail "cannot make the impaired capture"
}

# impaired_play_scenario PCAP USER: SIPp calls USER, plays PCAP once
# answered, then hangs up.
impaired_play_scenario() {
  cat <<XML
<?xml version="1.0" encoding="ISO-8859-1" ?>
<scenario name="sentence into the call">
  <send retrans="500">
    <![CDATA[

      INVITE sip:$2@[remote_ip]:[remote_port] SIP/2.0
      Via: SIP/2.0/UDP [local_ip]:[local_port];branch=[branch]
      From: <sip:caller@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]
      To: <sip:$2@[remote_ip]:[remote_port]>
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

      ACK sip:$2@[remote_ip]:[remote_port] SIP/2.0
      Via: SIP/2.0/UDP [local_ip]:[local_port];branch=[branch]
      From: <sip:caller@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]
      To: <sip:$2@[remote_ip]:[remote_port]>[peer_tag_param]
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

      BYE sip:$2@[remote_ip]:[remote_port] SIP/2.0
      Via: SIP/2.0/UDP [local_ip]:[local_port];branch=[branch]
      From: <sip:caller@[local_ip]:[local_port]>;tag=[pid]SIPpTag00[call_number]
      To: <sip:$2@[remote_ip]:[remote_port]>[peer_tag_param]
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

# impaired_sipp_call NAME PCAP USER PORT: SIPp plays PCAP into a call to
# USER@127.0.0.1:PORT and hangs up; fails the run unless the call went
# through. Its scenario and traces are NAME.* in the work folder.
impaired_sipp_call() {
  local name=$1 pcap=$2 user=$3 port=$4 sipp_port='' media_port='' status=0
  impaired_play_scenario "$pcap" "$user" >"$WORK_DIR/$name.xml"
  interop_pick_udp_port sipp_port
  interop_pick_udp_port media_port
  (cd "$WORK_DIR" && timeout 60 sipp -sf "$WORK_DIR/$name.xml" -m 1 -i 127.0.0.1 -p "$sipp_port" -mp "$media_port" \
    -nostdin -nr -nd -timeout 30s -timeout_error -trace_err -error_file "$WORK_DIR/$name.errors.log" \
    "127.0.0.1:$port" >"$WORK_DIR/$name.stdout.log" 2>&1) || status=$?
  [[ $status -eq 0 ]] ||
    interop_fail "$name: SIPp ended with $status:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/$name.errors.log" 2>/dev/null)"
}

# impaired_phone_heard NAME PCAP: the phone, answering by itself, records
# PCAP played into a call as heard-NAME.wav in the work folder.
impaired_phone_heard() {
  local name=$1 pcap=$2 phone_port=''
  # shellcheck disable=SC2034  # read by interop_start_phone
  PHONE_OPTIONS=(--auto-answer --record "$WORK_DIR/heard-$name.wav")
  interop_pick_udp_port phone_port
  interop_start_phone "$phone_port"
  impaired_sipp_call "$name" "$pcap" lab "$phone_port"
  interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" ||
    interop_fail "$name: the call did not end normally:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
  interop_stop_phone
}

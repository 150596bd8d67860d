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

# Through kamailio, which challenges INVITEs and record-routes, twice in a
# row (the call spirals through it), so that the answer carries three Vias
# and the dialog two routes. One call each way; the callee hangs up the
# first, the caller the second, so that each side's BYE crosses the proxies.
interop_require kamailio
proxy_port='' a_port='' b_port=''
interop_pick_udp_port proxy_port
interop_pick_udp_port a_port
interop_pick_udp_port b_port
cat >"$WORK_DIR/proxy.cfg" <<CFG
loadmodule "tm.so"
loadmodule "sl.so"
loadmodule "rr.so"
loadmodule "pv.so"
loadmodule "siputils.so"
loadmodule "auth.so"
request_route {
  if (has_totag()) {
    if (loose_route() || \$rm == "ACK") { t_relay(); }
    exit;
  }
  if (\$rm == "CANCEL") { if (t_check_trans()) { t_relay(); } exit; }
  if (\$rU == "a" || \$rU == "b") {
    if (!pv_proxy_authenticate("proxy.test", "secret", "0")) { proxy_challenge("proxy.test", "0"); exit; }
    consume_credentials();
    record_route();
    \$rU = "hop" + \$rU;
    \$du = "sip:127.0.0.1:$proxy_port";
  } else {
    record_route();
    if (\$rU == "hopa") { \$du = "sip:127.0.0.1:$a_port"; } else { \$du = "sip:127.0.0.1:$b_port"; }
  }
  t_relay();
}
CFG
interop_start_kamailio "$proxy_port" "$WORK_DIR/proxy.cfg"
gateway="GW0=0, 127.0.0.1:$proxy_port, , , alice, secret"
# proxied CALLER CALLEE ANSWER_OPTIONS CALL_OPTIONS: one call through the proxy.
proxied() {
  local caller=$1 callee=$2 status=0
  PHONE_OPTIONS=(--auto-answer --record "$WORK_DIR/proxied-$callee.wav" $3)
  interop_start_phone "${!callee}" "$gateway"
  timeout 30 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/proxied-$caller" --data-dir "$WORK_DIR" \
    --set "Port=0,0,${!caller}" --set "$gateway" --call "${callee%_port}@127.0.0.1:$proxy_port" \
    --play "$WORK_DIR/speech.wav" --exit-when-idle $4 >"$WORK_DIR/proxied-$caller.log" 2>&1 || status=$?
  [[ $status -eq 0 ]] || interop_fail "proxied call from $caller: exit $status:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/proxied-$caller.log")"
  interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" || interop_fail "proxied call to $callee: no normal end"
  interop_stop_phone
  "$compare" "$WORK_DIR/speech.wav" "$WORK_DIR/proxied-$callee.wav" 0.9 ||
    interop_fail "proxied call to $callee: the recording does not match the sentence played"
}
interop_capture_start "$WORK_DIR/proxied.pcap" "udp port $proxy_port"
proxied a_port b_port "--hangup-after 6" ""
proxied b_port a_port "" "--hangup-after 6"
interop_capture_stop
# What the phones sent the proxy: each 200 to an INVITE with all three Vias,
# each BYE with both routes, from the callee in order and from the caller
# reversed (the proxy checks the order: it relays only by its own routes).
from_phones="udp.dstport == $proxy_port && udp.srcport != $proxy_port"
vias=$(tshark -r "$WORK_DIR/proxied.pcap" -Y "$from_phones && sip.Status-Code == 200 && sip.CSeq.method == \"INVITE\"" \
  -T fields -e sip.Via | awk -F, '{print NF}' | sort -u)
routes=$(tshark -r "$WORK_DIR/proxied.pcap" -Y "$from_phones && sip.Method == \"BYE\"" -T fields -e sip.Route |
  awk -F, '{print NF}' | sort -u)
[[ $vias == 3 && $routes == 2 ]] || interop_fail "proxied calls: answers held '$vias' Vias, BYEs '$routes' routes"
interop_log "calls through a record-routing proxy, both ways: answered and hung up from each side"

#!/usr/bin/env bash
# The answers the module gives without any call state, checked with SIPp
# scenarios against a running nuvex-phone: 405 with the Allow line for
# OPTIONS and the other unserved methods, 481 for a BYE or CANCEL outside any
# call, and exactly one ACK for a 487 that belongs to no call.
# What the module sends must also read as clean SIP to a third-party parser:
# its answers to OPTIONS, BYE and CANCEL and its ACK for the stray 487 are
# captured on loopback and read back with tshark's SIP dissector, which must
# find no malformed packet and no expert warning or error, every header it
# expects, and the request's lines echoed. The raw bytes are checked too:
# printable text, CR LF line ends only, one empty line at the very end.
#
# Usage: bash stateless_answers_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
phone_port='' probe_port=''
interop_require sipp tshark

interop_pick_udp_port phone_port
interop_start_phone "$phone_port" "Register=0,0,0,3600"

interop_pick_udp_port probe_port
interop_sipp refused_methods_405 refused_methods_405.xml "$probe_port" -cid_str "refused-405-%u-%p@%s"

capture=$WORK_DIR/module.pcapng
interop_capture_start "$capture" "udp port $phone_port"
for scenario in options_405 bye_481 cancel_481 stray_487_ack; do
  interop_pick_udp_port probe_port
  interop_sipp "$scenario" "$scenario.xml" "$probe_port" -cid_str "$scenario-%u-%p@%s"
done
interop_capture_stop

acks=$(interop_count_received "$WORK_DIR/stray_487_ack.messages.log" ACK)
[[ $acks -eq 1 ]] || interop_fail "stray 487 drew $acks ACKs, expected exactly 1"
interop_phone_alive
interop_stop_phone

# read_capture TSHARK_ARGS...: the capture through the SIP dissector, with the
# module's port decoded as SIP whatever the heuristics say.
read_capture() {
  tshark -r "$capture" -d "udp.port==$phone_port,sip" "$@" 2>>"$WORK_DIR/tshark-read.log"
}

from_module="udp.srcport == $phone_port"
show_capture() { read_capture -V -Y "$1" | sed 's/^/  | /' >&2; }

# 1. The module sent exactly four datagrams: 405, 481, 481 and the ACK.
sent=$(read_capture -Y "$from_module" -T fields -e frame.number | wc -l)
[[ $sent -eq 4 ]] || { show_capture "$from_module"; interop_fail "module sent $sent datagrams, expected 4 (405, 481, 481, ACK)"; }

# 2. Each of them is SIP to the dissector, none is malformed, none raises an
#    expert warning or error.
not_sip=$(read_capture -Y "$from_module && !sip" -T fields -e frame.number | tr '\n' ' ')
[[ -z $not_sip ]] || { show_capture "$from_module && !sip"; interop_fail "frames not dissected as SIP: $not_sip"; }
flagged=$(read_capture -Y "$from_module && (_ws.malformed || _ws.expert.severity >= 0x00600000)" \
  -T fields -e frame.number -e _ws.expert.message | tr '\t\n' ' ;')
[[ -z $flagged ]] || { show_capture "$from_module && (_ws.malformed || _ws.expert)"; interop_fail "tshark flags the module's messages: $flagged"; }

# 3. The fields the dissector finds, one line per message from the module.
fields=$(read_capture -Y "$from_module" -T fields -E separator='|' \
  -e sip.Status-Code -e sip.Method -e sip.CSeq -e sip.Allow -e sip.Content-Length -e sip.r-uri \
  | sort)
expected_fields=$(sort <<'EOF'
405||4711 OPTIONS|INVITE, ACK, CANCEL, BYE|0|
481||2 BYE||0|
481||1 CANCEL||0|
|ACK|1 ACK||0|sip:lab@lab.talvenor.test
EOF
)
[[ $fields == "$expected_fields" ]] ||
  interop_fail "dissected fields differ.$(printf '\n  expected:\n%s\n  got:\n%s' "$expected_fields" "$fields")"

# 4. Each message from the module carries the Via, From, To and Call-ID of
#    the message it answers (same Call-ID, sent to the module), and responses
#    also its CSeq. Its To adds a tag where that one had none (RFC 3261
#    8.2.6.2), as every message from the module has one.
mismatches=$(read_capture -Y sip -T fields -E separator='|' \
  -e udp.srcport -e sip.Call-ID -e sip.Via -e sip.From -e sip.To -e sip.CSeq -e sip.Status-Code |
  awk -F'|' -v port="$phone_port" '
    $1 != port { sent[$2] = $3 "|" $4 "|" $5; cseq[$2] = $6; next }
    {
      if (!($2 in sent)) { print "no message to the module has Call-ID " $2; next }
      if (index($3 "|" $4 "|" $5, sent[$2]) != 1) print "Via/From/To not echoed for " $2 ": " $3 "|" $4 "|" $5 " vs " sent[$2]
      if ($5 !~ /;tag=/) print "no To tag for " $2 ": " $5
      if ($7 != "" && $6 != cseq[$2]) print "CSeq not echoed for " $2 ": " $6 " vs " cseq[$2]
    }')
[[ -z $mismatches ]] || interop_fail "$mismatches"

# 5. Raw bytes: printable ASCII, every line ended by CR LF, the header block
#    ended by one empty line at the end, Content-Length the last header.
byte_faults=$(read_capture -Y "$from_module" -T fields -e frame.number -e udp.payload |
  awk -F'\t' '
    function fault(why) { print "frame " $1 ": " why; bad = 1 }
    {
      hex = $2; n = length(hex) / 2; bad = 0; line = ""; last = ""; empties = 0
      for (i = 0; i < n && !bad; i++) {
        byte = substr(hex, 2 * i + 1, 2)
        if (byte == "0d") {
          if (substr(hex, 2 * i + 3, 2) != "0a") fault("CR without LF at byte " i)
          if (line == "") empties++
          else { if (empties) fault("text after the empty line"); last = line }
          line = ""; i++
        } else if (byte == "0a") {
          fault("LF without CR at byte " i)
        } else {
          code = index("0123456789abcdef", substr(byte, 1, 1)) * 16 + index("0123456789abcdef", substr(byte, 2, 1)) - 17
          if (code < 32 || code > 126) fault("byte 0x" byte " at " i)
          line = line sprintf("%c", code)
        }
      }
      if (bad) next
      if (line != "") fault("last line has no CR LF")
      else if (empties != 1) fault(empties " empty lines, expected one at the end")
      else if (last != "Content-Length: 0") fault("last header is \"" last "\", not \"Content-Length: 0\"")
    }')
[[ -z $byte_faults ]] || interop_fail "$byte_faults"
interop_log "ok: tshark reads the module's $sent messages as clean SIP"

#!/usr/bin/env bash
# The phone with its message log, ban list and registrar on, answering calls
# by itself, under floods and scanners:
#  (a) sipsak floods it from 127.0.0.2: the flood detector bans 127.0.0.2
#      (its SIP-BAN.txt line, one BANNED record in SIP-LOG.txt and nothing
#      from it logged or answered after that), while SIPp's OPTIONS from
#      127.0.0.1 all get their 405 and a call from a second phone, connected
#      before the flood, lasts until its caller hangs up and ends normally;
#  (b) sipvicious: svmap (from 127.0.0.3) finds the phone at its address and
#      port; svwar (from 127.0.0.4) guesses extensions with REGISTER, which
#      the registrar without authentication takes (whole SIP-REG.txt lines)
#      and with OPTIONS, which get 405; the phone stays up;
#  (c) a mix of requests, responses, cut and garbage datagrams of many sizes
#      from a hundred addresses for 20 s: the senders that burst are banned,
#      the others never, and the resident memory (VmHWM) grows by less than
#      8 MB; then 1000 short calls from SIPp (ban list off: one busy caller
#      is a flood to the detector) must not grow it by 8 MB either;
#  (d) with the registrar authenticating: 127.0.0.6 and 127.0.0.7 taking
#      turns, forty OPTIONS each, are both banned; a REGISTER password
#      guesser from 127.0.0.8, paced below the flood rules, is held back and
#      then banned (its SIP-BAN.txt line and a BANNED record).
# After each part an OPTIONS from 127.0.0.1 still gets its 405.
#
# Usage: bash flood_scanners_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp sipsak svmap svwar python3

LEAK_LIMIT_KB=8192
phone_port='' caller_port='' prober_port='' banned_port='' soak_port='' media_port=''

interop_pick_udp_port phone_port
PHONE_OPTIONS=(--auto-answer)
interop_start_phone "$phone_port" "Port=1,1,$phone_port" "Register=1,0,0,3600" "Address=127.0.0.1"
ban_list=$PHONE_DATA_DIR/SIP-BAN.txt
message_log=$PHONE_DATA_DIR/SIP-LOG.txt
reg_list=$PHONE_DATA_DIR/SIP-REG.txt

show() { sed 's/\t/<TAB>/g; s/^/  | /' "$1" 2>/dev/null | head -n "${2:-40}"; }

# banned ADDRESS: SIP-BAN.txt has a line for exactly that address.
banned() { awk -F'\t' -v address="$1" '$1 == address { found = 1 } END { exit !found }' "$ban_list" 2>/dev/null; }

# options_served NAME: an OPTIONS from 127.0.0.1 gets its 405.
options_served() {
  local port=''
  interop_pick_udp_port port
  interop_sipp "$1" options_405.xml "$port"
}

# memory FIELD: the phone's VmHWM or VmRSS in kB.
memory() { awk -v field="$1:" '$1 == field { print $2 }' "/proc/$PHONE_PID/status"; }

# ---- (a) a flood from one address, a prober and a call meanwhile ----------
interop_pick_udp_port caller_port
caller_log=$WORK_DIR/caller.log
timeout 90 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/caller-config" --data-dir "$WORK_DIR/caller-data" \
  --set "Port=0,0,$caller_port" --call "desk@127.0.0.1:$phone_port" --hangup-after 25 --exit-when-idle \
  >"$caller_log" 2>&1 &
caller_pid=$!
interop_track_pid "$caller_pid"
interop_wait_for_line "$caller_log" '^connected$' 15 "$caller_pid" ||
  interop_fail "the second phone's call did not connect:$(printf '\n'; show "$caller_log")"

interop_pick_udp_port prober_port
timeout 60 sipp -sf "$INTEROP_DIR/flood_options_uac.xml" -i 127.0.0.1 -p "$prober_port" -r 5 -m 20 \
  -nostdin -nd -trace_err -error_file "$WORK_DIR/prober.errors.log" "127.0.0.1:$phone_port" \
  >"$WORK_DIR/prober.stdout.log" 2>&1 &
prober_pid=$!
interop_track_pid "$prober_pid"
sleep 0.5  # the prober is under way
timeout 60 sipsak -F -e 300000 -s "sip:desk@127.0.0.1:$phone_port" --local-ip 127.0.0.2 \
  >"$WORK_DIR/sipsak.log" 2>&1 || interop_fail "sipsak's flood failed:$(printf '\n'; show "$WORK_DIR/sipsak.log")"
status=0
wait "$prober_pid" || status=$?
interop_untrack_pid "$prober_pid"
[[ $status -eq 0 ]] ||
  interop_fail "OPTIONS from 127.0.0.1 went unanswered during the flood (SIPp status $status):$(printf '\n'; tail -n 25 "$WORK_DIR/prober.stdout.log"; show "$WORK_DIR/prober.errors.log" 10)"
interop_log "ok: 20 OPTIONS from 127.0.0.1 got 405 while 127.0.0.2 flooded"
interop_phone_alive

banned 127.0.0.2 || interop_fail "the flood from 127.0.0.2 was not banned:$(printf '\n'; show "$ban_list")"
banned 127.0.0.1 && interop_fail "127.0.0.1, which never flooded, was banned:$(printf '\n'; show "$ban_list")"
flood_records=$(awk -F'\t' '
  /^[A-Z][a-z][a-z] / && NF == 3 && $2 ~ /^127\.0\.0\.2:/ { if (after) late++; if ($3 == "BANNED") { bans++; after = 1 } }
  END { print bans + 0, late + 0 }' "$message_log")
[[ $flood_records == "1 0" ]] ||
  interop_fail "SIP-LOG.txt should hold one BANNED record for 127.0.0.2 and nothing from it after: (bans, later records) = ($flood_records)"

# Banned means ignored: an OPTIONS from 127.0.0.2 gets nothing back.
interop_pick_udp_port banned_port
timeout 60 sipp -sf "$INTEROP_DIR/flood_options_uac.xml" -i 127.0.0.2 -p "$banned_port" -m 1 -timeout 4s \
  -nostdin -trace_msg -message_file "$WORK_DIR/banned.messages.log" "127.0.0.1:$phone_port" \
  >"$WORK_DIR/banned.stdout.log" 2>&1 || true
grep -q 'message sent' "$WORK_DIR/banned.messages.log" || interop_fail "SIPp sent nothing from 127.0.0.2"
! grep -q 'message received' "$WORK_DIR/banned.messages.log" ||
  interop_fail "the banned 127.0.0.2 got an answer:$(printf '\n'; show "$WORK_DIR/banned.messages.log")"
grep -q '^ended' "$caller_log" &&
  interop_fail "the call ended during the flood:$(printf '\n'; show "$caller_log")"
options_served after_flood
interop_log "ok: 127.0.0.2 banned and ignored; the call goes on"

# ---- (b) sipvicious ---------------------------------------------------------
svmap_out=$WORK_DIR/svmap.log
timeout 60 svmap -b 127.0.0.3 -p "$((phone_port - 3))-$((phone_port + 3))" 127.0.0.1 >"$svmap_out" 2>&1 ||
  interop_fail "svmap failed:$(printf '\n'; show "$svmap_out")"
grep -q "| 127\.0\.0\.1:$phone_port " "$svmap_out" ||
  interop_fail "svmap did not find the phone at 127.0.0.1:$phone_port:$(printf '\n'; show "$svmap_out")"
banned 127.0.0.3 && interop_fail "svmap's one datagram to the phone got 127.0.0.3 banned"

# svwar binds no address of its own choosing: a route whose preferred source
# is 127.0.0.4 gives it one, towards 127.0.0.9, where the phone (bound to
# every local address) listens too.
ip route add local 127.0.0.9/32 dev lo table local src 127.0.0.4
svwar_out=$WORK_DIR/svwar.log
timeout 60 svwar -p "$phone_port" -e 100-140 127.0.0.9 >"$svwar_out" 2>&1 ||
  interop_fail "svwar (REGISTER) failed:$(printf '\n'; show "$svwar_out")"
interop_phone_alive
svwar_lines=$(grep -c '@127\.0\.0\.4:' "$reg_list" 2>/dev/null || true)
((svwar_lines > 0)) || interop_fail "svwar's REGISTERs left no SIP-REG.txt line:$(printf '\n'; show "$svwar_out"; show "$reg_list")"
bad=$(awk -F'\t' 'NF != 7 || $2 != "PIN" || $3 !~ /^[0-9]+$/ || $4 !~ /^[0-9]+$/ || $7 != "friendly-scanner"' "$reg_list")
[[ -z $bad ]] || interop_fail "SIP-REG.txt has lines that are not whole registrations:$(printf '\n'; show "$reg_list")"
[[ $(tail -c 1 "$reg_list" | od -An -c | tr -d ' ') == '\n' ]] || interop_fail "SIP-REG.txt does not end with a line feed"
interop_log "ok: svwar's REGISTER guesses: $svwar_lines registrations$(banned 127.0.0.4 && echo ', then banned')"

ip route replace local 127.0.0.9/32 dev lo table local src 127.0.0.5
timeout 60 svwar -p "$phone_port" -e 200-240 -m OPTIONS 127.0.0.9 >"$WORK_DIR/svwar-options.log" 2>&1 ||
  interop_fail "svwar (OPTIONS) failed:$(printf '\n'; show "$WORK_DIR/svwar-options.log")"
grep -qi 'method not allowed' "$WORK_DIR/svwar-options.log" ||
  interop_fail "svwar's OPTIONS did not get 405:$(printf '\n'; show "$WORK_DIR/svwar-options.log")"
interop_phone_alive
options_served after_scanners
interop_log "ok: svmap found the phone, svwar got its answers, the phone is up"

# The call outlived the flood and the scans: its caller hangs up on time.
status=0
wait "$caller_pid" || status=$?
interop_untrack_pid "$caller_pid"
if [[ $status -ne 0 ]] || ! grep -q '^hanging up$' "$caller_log" || ! grep -q '^ended: normal$' "$caller_log"; then
  interop_fail "the call did not last until its caller hung up (status $status):$(printf '\n'; show "$caller_log")"
fi
interop_wait_for_line "$PHONE_LOG" '^ended: normal$' 10 "$PHONE_PID" ||
  interop_fail "the phone did not see the call end normally:$(printf '\n'; show "$PHONE_LOG")"
interop_log "ok: the call lasted through the flood and the scans and ended normally"

# ---- (c) a long mixed flood, then many calls: memory -----------------------
python3 "$INTEROP_DIR/flood_mix.py" "$phone_port" 4 3000 1 >/dev/null  # every path used once
sleep 1
hwm_before=$(memory VmHWM) rss_before=$(memory VmRSS)
sent=$(python3 "$INTEROP_DIR/flood_mix.py" "$phone_port" 20 3000 2)
sleep 1
interop_phone_alive
hwm_after=$(memory VmHWM) rss_after=$(memory VmRSS)
interop_log "mixed flood of $sent datagrams: VmHWM $hwm_before -> $hwm_after kB, VmRSS $rss_before -> $rss_after kB"
((hwm_after - hwm_before <= LEAK_LIMIT_KB)) ||
  interop_fail "the phone's peak memory grew by $((hwm_after - hwm_before)) kB over the mixed flood"
grep -q $'^127\\.0\\.2\\.[0-9]*\t' "$ban_list" || interop_fail "no bursting sender of the mix was banned"
! grep -q $'^127\\.0\\.1\\.[0-9]*\t' "$ban_list" ||
  interop_fail "a sender of the mix that never flooded was banned:$(printf '\n'; grep '^127\.0\.1\.' "$ban_list" | show /dev/stdin 5)"
banned 127.0.0.1 && interop_fail "127.0.0.1 was banned"
options_served after_mix
interop_stop_phone

interop_start_phone "$phone_port" "Port=1,0,$phone_port" "Register=1,0,0,3600" "Address=127.0.0.1"
interop_pick_udp_port soak_port
interop_pick_udp_port media_port
soak_call() {  # soak_call NAME CALLS
  local status=0
  timeout 120 sipp -sf "$INTEROP_DIR/soak_call_uac.xml" -i 127.0.0.1 -p "$soak_port" -mp "$media_port" \
    -r 100 -l 4 -m "$2" -nostdin -nd -timeout 100s -timeout_error -trace_err -error_file "$WORK_DIR/$1.errors.log" \
    "127.0.0.1:$phone_port" >"$WORK_DIR/$1.stdout.log" 2>&1 || status=$?
  [[ $status -eq 0 ]] ||
    interop_fail "$1: not all $2 calls succeeded (SIPp status $status):$(printf '\n'; tail -n 25 "$WORK_DIR/$1.stdout.log"; show "$WORK_DIR/$1.errors.log" 10)"
}
soak_call warm_calls 20
sleep 1
hwm_before=$(memory VmHWM) rss_before=$(memory VmRSS)
size_before=$(memory VmSize)
soak_call soak_calls 1000
sleep 1
interop_phone_alive
hwm_after=$(memory VmHWM) rss_after=$(memory VmRSS)
size_after=$(memory VmSize)
interop_log "1000 calls: VmHWM $hwm_before -> $hwm_after kB, VmRSS $rss_before -> $rss_after kB," \
  "VmSize $size_before -> $size_after kB, threads now $(memory Threads)"
((hwm_after - hwm_before <= LEAK_LIMIT_KB)) ||
  interop_fail "the phone's peak memory grew by $((hwm_after - hwm_before)) kB over 1000 calls" \
    "($(((hwm_after - hwm_before) / 1000)) kB a call; address space grew by $(((size_after - size_before) / 1000)) kB a call)"
options_served after_calls
interop_stop_phone

# ---- (d) senders taking turns, and a password guesser ----------------------
interop_start_phone "$phone_port" "Port=1,1,$phone_port" "Register=1,1,0,3600" "Address=127.0.0.1"
ban_list=$PHONE_DATA_DIR/SIP-BAN.txt
message_log=$PHONE_DATA_DIR/SIP-LOG.txt
printf 'desk\tsecret\n' >"$PHONE_DATA_DIR/SIP-PIN.txt"
python3 - "$phone_port" <<'PYTHON'
import socket, sys
senders = []
for address in ("127.0.0.6", "127.0.0.7"):
    senders.append(socket.socket(socket.AF_INET, socket.SOCK_DGRAM))
    senders[-1].bind((address, 0))
for n in range(80):
    s = senders[n % 2]
    host, port = s.getsockname()
    s.sendto(("OPTIONS sip:desk@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP %s:%d;branch=z9hG4bK-turn-%d\r\n"
              "From: <sip:turns@%s>;tag=%d\r\nTo: <sip:desk@127.0.0.1>\r\nCall-ID: turn-%d@%s\r\n"
              "CSeq: 1 OPTIONS\r\nContent-Length: 0\r\n\r\n" % (host, port, n, host, n, n, host)).encode(),
             ("127.0.0.1", int(sys.argv[1])))
PYTHON
sleep 0.5
banned 127.0.0.6 && banned 127.0.0.7 ||
  interop_fail "127.0.0.6 and 127.0.0.7 taking turns were not both banned:$(printf '\n'; show "$ban_list")"
interop_log "ok: two senders taking turns are both banned"

# Guesses the 4-digit password of desk, one datagram every 60 ms or more:
# too slow for the flood rules. Prints the guesses made until the ban.
guesses=$(python3 - "$phone_port" "$ban_list" <<'PYTHON'
import hashlib, os, re, socket, sys, time
port, ban_list = int(sys.argv[1]), sys.argv[2]
md5 = lambda text: hashlib.md5(text.encode()).hexdigest()
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.8", 0))
s.settimeout(0.1)
host, own = s.getsockname()
realm = nonce = ""
for n in range(1, 120):
    credentials = ""
    if nonce:
        response = md5("%s:%s:%s" % (md5("desk:%s:%04d" % (realm, n)), nonce, md5("REGISTER:sip:127.0.0.1")))
        credentials = ('Authorization: Digest username="desk", realm="%s", nonce="%s", uri="sip:127.0.0.1", '
                       'response="%s"\r\n' % (realm, nonce, response))
    s.sendto(("REGISTER sip:127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP %s:%d;branch=z9hG4bK-guess-%d\r\n"
              "From: <sip:desk@127.0.0.1>;tag=guess\r\nTo: <sip:desk@127.0.0.1>\r\nCall-ID: guess@%s\r\n"
              "CSeq: %d REGISTER\r\nContact: <sip:desk@%s:%d>\r\n%sContent-Length: 0\r\n\r\n"
              % (host, own, n, host, n, host, own, credentials)).encode(), ("127.0.0.1", port))
    try:
        found = re.search(r'realm="([^"]*)", nonce="([^"]*)"', s.recv(2000).decode("latin-1"))
        if found:
            realm, nonce = found.groups()
    except socket.timeout:
        pass  # held back
    time.sleep(0.06)
    if os.path.exists(ban_list) and "127.0.0.8\t" in open(ban_list).read():
        break
print(n)
PYTHON
)
banned 127.0.0.8 || interop_fail "the password guesser from 127.0.0.8 was not banned after $guesses guesses:$(printf '\n'; show "$ban_list")"
awk -F'\t' '$2 ~ /^127\.0\.0\.8:/ && $3 == "BANNED" { found = 1 } END { exit !found }' "$message_log" ||
  interop_fail "SIP-LOG.txt holds no BANNED record for 127.0.0.8"
[[ ! -s $PHONE_DATA_DIR/SIP-REG.txt ]] || interop_fail "a guess registered:$(printf '\n'; show "$PHONE_DATA_DIR/SIP-REG.txt")"
options_served after_guesses
interop_log "ok: the password guesser was banned after $guesses requests"
interop_stop_phone

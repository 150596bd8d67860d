#!/usr/bin/env bash
# The phone's commands on standard input, two phones calling each other:
#  - one answers from its prompt once it rings, the other places the call,
#    lists it (direction, peer, duration), hangs up;
#  - a second call dials the address the answerer printed, as a sip: URI;
#    `answer` names what is wrong when no ringing call fits; the caller
#    mutes the call before it ends: the answerer's second recording
#    (numbered) ends in silence;
#  - a caller name full of terminal controls reaches the output with none
#    of them left;
#  - `register 3` without an address is refused before the module restarts;
#    `register 2` has the answerer's gateway 2 register with a gateway
#    played by SIPp; `status` shows the port, the codecs and the gateway;
#  - 'options' without a reachable display says why; with an offscreen
#    display the sheet stays open while the prompt answers, and quit
#    closes it;
#  - a phone that records and plays files is offered 1500 calls, each
#    cancelled while it rings: it ends with as many descriptors and about as
#    much memory as after the first 300;
#  - a phone told to exit once its first call ended exits after refusing
#    that call with 488;
#  - a scripted call to a host that does not resolve ends "unreachable"
#    with a non-zero exit; the port the phone reports for a stored port
#    beyond 16 bits is the one the module binds; its --data-dir is made.
#
# Usage: bash phone_prompt_test.sh BIN_DIR

# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/lib.sh"
interop_init "$@"
interop_require sipp sox python3

# A display that is named but not there: 'options' must say so, not end
# the phone.
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
export DISPLAY=:77

answer_port='' call_port='' gateway_port='' raw_port='' leak_port='' probe_port='' media_port='' tty_port=''
for port in answer_port call_port gateway_port raw_port leak_port probe_port media_port tty_port; do
  interop_pick_udp_port "$port"
done
sox -n -r 8000 -c 1 -b 16 "$WORK_DIR/tone.wav" synth 60 sine 440 vol 0.5

# start_prompted NAME PORT FD [OPTIONS...]: a phone whose commands come through a pipe that
# this test writes on descriptor FD; its pid in STARTED.
start_prompted() {
  local name=$1 port=$2 fd=$3
  shift 3
  mkfifo "$WORK_DIR/$name.in"
  "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/$name" --data-dir "$WORK_DIR" --set "Port=0,0,$port" "$@" \
    <"$WORK_DIR/$name.in" >"$WORK_DIR/$name.log" 2>&1 &
  STARTED=$!
  interop_track_pid "$STARTED"
  eval "exec $fd>\"\$WORK_DIR/$name.in\""
  interop_wait_for_line "$WORK_DIR/$name.log" "^Talvenor up" 15 "$STARTED" || interop_fail "the $name phone did not start"
}

# expect NAME PATTERN [COUNT]: waits until phone NAME has printed COUNT (1)
# lines matching PATTERN.
expect() {
  local log=$WORK_DIR/$1.log pattern=$2 count=${3:-1} deadline=$((SECONDS + 15))
  until (($(grep -Ec -- "$pattern" "$log") >= count)); do
    ((SECONDS < deadline)) || interop_fail "$1 did not print '$pattern' (${count}x):$(printf '\n'; tail -n 8 "$log" | sed 's/^/  | /')"
    sleep 0.05
  done
}

start_prompted answerer "$answer_port" 3 --set "GW1=0, 127.0.0.1:$gateway_port, , 555, alice, secret" \
  --set Address=127.0.0.1 --record "$WORK_DIR/heard.wav"
answerer=$STARTED
QT_QPA_PLATFORM=offscreen start_prompted caller "$call_port" 4 --play "$WORK_DIR/tone.wav"
caller=$STARTED

echo "call lab@127.0.0.1:$answer_port" >&4
expect answerer '^ringing$'
echo "answer" >&3
expect caller '^connected$'
echo "lines" >&4
expect caller "^line 0 connected, outgoing to lab@127.0.0.1:$answer_port, 0:0[0-9]"
echo "hangup" >&4
expect answerer '^ended: normal$'
expect caller '^ended: normal$'

address=$(sed -n 's/^Call this phone at \(sip:[^;]*\);.*/\1/p' "$WORK_DIR/answerer.log")
[[ $address == "sip:phone@127.0.0.1:$answer_port" ]] || interop_fail "the answerer printed '$address' to call it at"
echo "call $address" >&4
expect answerer '^ringing$' 2
echo "lines" >&3
expect answerer '^line [0-9] ringing, incoming from '
line=$(sed -n 's/^line \([0-9]\) ringing, incoming from .*/\1/p' "$WORK_DIR/answerer.log")
echo "answer 3" >&3  # the first call's line may not be free yet, but 3 is not in use
expect answerer '^no call on line 3$'
echo "answer $line" >&3
expect caller '^connected$' 2
expect answerer '^connected$' 2
echo "answer $line" >&3
expect answerer "^line $line is not ringing: connected, incoming from "
sleep 1
echo "mute" >&4
expect caller '^line [0-9] muted'
sleep 1.5
echo "hangup" >&4
expect answerer '^ended: normal$' 2
[[ -s $WORK_DIR/heard.wav ]] || interop_fail "the first call's recording is missing"
loudest=$(sox "$WORK_DIR/heard-2.wav" -n stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
tail_loudest=$(sox "$WORK_DIR/heard-2.wav" -n trim -0.6 stat 2>&1 | awk '/^Maximum amplitude/ { print $3 }')
awk -v all="$loudest" -v end="$tail_loudest" 'BEGIN { exit !(all > 0.2 && end != "" && end < 0.02) }' ||
  interop_fail "the muted call's recording peaks at '$loudest', its last 0.6 s at '$tail_loudest'"

# At a terminal (a pseudo-terminal here), keys that only edit the line keep
# the prompt: the ringing call is then answered from it. Ctrl-D ends the
# input: the prompt goes (libedit's "^D" with it).
python3 - "$BIN_DIR/nuvex-phone" "$WORK_DIR" "$tty_port" "$WORK_DIR/caller.in" <<'PY' ||
import os, pty, select, sys
phone, work, port, caller = sys.argv[1:5]
pid, fd = pty.fork()
if pid == 0:
    os.execv(phone, [phone, "--config-dir", work + "/tty", "--data-dir", work, "--set", "Port=0,0," + port])
out = b""
def keys(typed, shown):
    global out
    os.write(fd, typed)
    while shown not in out:
        chunk = os.read(fd, 4096) if select.select([fd], [], [], 15)[0] else b""
        if not chunk:
            os.kill(pid, 9)
            sys.exit("no %r at the terminal after %r; it shows:\n%s" % (shown, typed, out[-800:].decode(errors="replace")))
        out += chunk
keys(b"", b"> ")
for typed in [b"\x7f", b"\x15", b"\x0c", b"\x1b[A", b"\x1b[D", b"\t", b"\x01", b"x\x7f"]:
    keys(typed, b"")
open(caller, "w").write("call lab@127.0.0.1:%s\n" % port)
keys(b"", b"ringing")
keys(b"answer\r", b"connected")
keys(b"hangup\r", b"ended")
keys(b"\x04", b"^D\r\x1b[K")
os.kill(pid, 15)
os.waitpid(pid, 0)
PY
  interop_fail "the phone's prompt at a terminal (above)"
expect caller '^connected$' 3

# A caller's name that would retitle the window, clear the screen and start
# a C1 control sequence.
python3 - "$raw_port" "$answer_port" <<'PY'
import socket, sys
source, target = int(sys.argv[1]), int(sys.argv[2])
name = b"\x1b]0;owned\x07\x1b[2JEve\xc2\x9b1m\x7f"
body = (b"v=0\r\no=- 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
        b"m=audio 40000 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n")
head = ("INVITE sip:lab@127.0.0.1:%d SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:%d;branch=z9hG4bK-ctl\r\n" % (target, source)).encode()
head += b'From: "' + name + b'" <sip:eve@127.0.0.1:%d>;tag=ctl\r\n' % source
head += (b"To: <sip:lab@127.0.0.1:%d>\r\nCall-ID: controls@127.0.0.1\r\nCSeq: 1 INVITE\r\n"
         b"Contact: <sip:eve@127.0.0.1:%d>\r\nContent-Type: application/sdp\r\nContent-Length: %d\r\n\r\n"
         % (target, source, len(body)))
sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
sock.bind(("127.0.0.1", source))
sock.sendto(head + body, ("127.0.0.1", target))
PY
expect answerer '^incoming call: eve'
grep -qF 'incoming call: eve#lab "?]0;owned??[2JEve?1m?"' "$WORK_DIR/answerer.log" ||
  interop_fail "the caller's name was not shown with its controls replaced:$(grep 'incoming call: eve' "$WORK_DIR/answerer.log" | cat -v)"
if tr -d '\n' <"$WORK_DIR/answerer.log" | LC_ALL=C grep -q $'[[:cntrl:]\x80-\x9f]'; then
  interop_fail "control bytes reached the answerer's output"
fi
echo "reject 17" >&3
expect answerer '^ended: rejected \(17\)$'

timeout 30 sipp -sf "$INTEROP_DIR/register_ok_uas.xml" -m 1 -i 127.0.0.1 -p "$gateway_port" -nostdin -nr -nd \
  -timeout 25s -timeout_error >"$WORK_DIR/gateway.log" 2>&1 &
gateway=$!
interop_track_pid "$gateway"
for _ in $(seq 50); do interop_udp_bound "$gateway_port" && break; sleep 0.2; done
interop_udp_bound "$gateway_port" || interop_fail "SIPp's gateway did not start"
echo "register 3" >&3
expect answerer '^gateway 3 has no address'
echo "register 2" >&3
expect answerer "^gateway 2: registering with 127.0.0.1:$gateway_port as alice$"
! grep -q '^gateway 3: restarting' "$WORK_DIR/answerer.log" || interop_fail "'register 3' restarted the module"
status=0
wait "$gateway" || status=$?
interop_untrack_pid "$gateway"
[[ $status -eq 0 ]] || interop_fail "the gateway saw no REGISTER from alice (SIPp status $status)"
echo "status" >&3
expect answerer "^SIP port $answer_port: call this phone at $address$"
expect answerer '^codecs: PCMU PCMA GSM$'
expect answerer "^gateway 2: registering with 127.0.0.1:$gateway_port as alice$" 2

echo "options" >&3
expect answerer '^SIP Options: closed without OK$'
grep -q 'SIP Options dialog cannot be shown: the display cannot be reached' "$WORK_DIR/answerer.log" ||
  interop_fail "'options' did not say why no dialog was shown"
# Offscreen, the sheet stays open until something closes it.
echo "options" >&4
echo "options" >&4
expect caller '^the SIP Options sheet is open already$'
echo "lines" >&4
expect caller '^no calls$'
! grep -q '^SIP Options:' "$WORK_DIR/caller.log" || interop_fail "the offscreen sheet did not stay open"

echo "quit" >&4
echo "quit" >&3
for pid in "$caller" "$answerer"; do
  status=0
  wait "$pid" || status=$?
  interop_untrack_pid "$pid"
  [[ $status -eq 0 ]] || interop_fail "a phone ended with status $status after quit"
done
exec 3>&- 4>&-

# cancelled_calls NAME COUNT: COUNT calls to the phone, each cancelled while it rings,
# one at a time: a second call from an address whose call still rings is busy.
cancelled_calls() {
  timeout 150 sipp -sf "$INTEROP_DIR/call_in_cancel_uac.xml" -m "$2" -r 100 -l 1 -i 127.0.0.1 -p "$probe_port" \
    -mp "$media_port" -nostdin -nr -nd -timeout 140s -timeout_error -trace_err -error_file "$WORK_DIR/$1.errors.log" \
    "127.0.0.1:$leak_port" >"$WORK_DIR/$1.log" 2>&1 ||
    interop_fail "$1: SIPp failed: $(interop_sipp_error "$1")"
  sleep 1  # the last call's line is released a moment after SIPp's ACK
}
descriptors() { find "/proc/$PHONE_PID/fd" -mindepth 1 | wc -l; }
resident_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$PHONE_PID/status"; }
PHONE_OPTIONS=(--auto-answer=30 --record "$WORK_DIR/unanswered.wav" --play "$WORK_DIR/tone.wav")
interop_start_phone "$leak_port"
cancelled_calls warm 300
early_fds=$(descriptors) early_kb=$(resident_kb)
cancelled_calls many 1200
late_fds=$(descriptors) late_kb=$(resident_kb)
interop_log "after 300 and 1500 offered calls: $early_fds and $late_fds descriptors, $early_kb and $late_kb kB resident"
((late_fds <= early_fds)) || interop_fail "the phone's descriptors went from $early_fds to $late_fds"
# 1200 calls kept would be 1200 call objects and their threads' stacks. A
# phone under ThreadSanitizer grows with its shadow memory whatever it frees.
if [[ $(ldd "$BIN_DIR/nuvex-phone") != *libtsan* ]]; then
  ((late_kb - early_kb < 512)) || interop_fail "the phone's memory grew from $early_kb to $late_kb kB"
fi
interop_stop_phone

# A phone that takes none of the codecs SIPp offers refuses its first call
# with 488, and exits then as it was told to.
"$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/refusing" --data-dir "$WORK_DIR/refusing" --set "Port=0,0,$leak_port" \
  --set VoIP=0,1,0,0 --no-audio --exit-when-idle </dev/null >"$WORK_DIR/refusing.log" 2>&1 &
refusing=$!
interop_track_pid "$refusing"
interop_wait_for_line "$WORK_DIR/refusing.log" '^Talvenor up' 15 "$refusing" || interop_fail "the refusing phone did not start"
interop_run_sipp refused call_in_cancel_uac.xml "$probe_port" "$leak_port" -mp "$media_port" || true
for _ in $(seq 100); do kill -0 "$refusing" 2>/dev/null || break; sleep 0.1; done
status=running
if ! kill -0 "$refusing" 2>/dev/null; then
  status=0
  wait "$refusing" || status=$?
  interop_untrack_pid "$refusing"
fi
[[ $status == 1 ]] && grep -q '^incoming call refused (488)' "$WORK_DIR/refusing.log" ||
  interop_fail "after refusing its first call with 488 the phone ended '$status':$(sed 's/^/  | /' "$WORK_DIR/refusing.log")"

# A port beyond 16 bits is no port: the module binds 5060, and the phone says
# so. The folders it is given are made.
status=0
timeout 20 "$BIN_DIR/nuvex-phone" --config-dir "$WORK_DIR/lost" --data-dir "$WORK_DIR/lost/lists" \
  --set "Port=0,0,70000" --call "lab@no-such-host.invalid" --exit-when-idle </dev/null >"$WORK_DIR/lost.log" 2>&1 ||
  status=$?
[[ $status -ne 0 ]] || interop_fail "a call that could not be placed exited 0"
grep -q '^ended: unreachable$' "$WORK_DIR/lost.log" || interop_fail "no 'unreachable' end for a host that does not resolve"
grep -q '^Talvenor up on SIP port 5060$' "$WORK_DIR/lost.log" ||
  interop_fail "the phone told the wrong port for Port=0,0,70000: $(head -n 1 "$WORK_DIR/lost.log")"
[[ -d $WORK_DIR/lost/lists ]] || interop_fail "the phone did not make its --data-dir"

#!/usr/bin/env bash
# The Windows phone (nuvex-phone.exe and talvenor.dll under Wine) with real
# peers: SIPp's OPTIONS is answered, SIPp registers with digest at its
# registrar, and it calls the Linux phone and is called by it once per codec
# (PCMU, PCMA, GSM, G.729), the spoken sentence arriving each time.
#
# Usage: bash wine_phone_test.sh LINUX_BIN_DIR WINDOWS_BIN_DIR
# (WINEPREFIX comes from the caller.)

[[ $# -ge 2 ]] && TALVENOR_WINDOWS_BIN=$(cd "$2" && pwd) && export TALVENOR_WINDOWS_BIN
# shellcheck source=tests/interop/lib.sh
source "$(dirname "$0")/../interop/lib.sh"
INTEROP_DIR=$(cd "$(dirname "$0")/../interop" && pwd)
interop_init "$1"
interop_require wine sipp espeak-ng sox
# shellcheck source=tests/windows/wine_lib.sh
source "$(dirname "$0")/wine_lib.sh"
compare=$BIN_DIR/../test-hosts/talvenor-wav-compare
espeak-ng -w "$WORK_DIR/speech22k.wav" "Talvenor carries this sentence from Windows to Linux and back."
sox "$WORK_DIR/speech22k.wav" -r 8000 -c 1 -b 16 "$WORK_DIR/speech.wav"

# 1. OPTIONS (refused with 405 and its Allow line) and a REGISTER challenged
#    with digest, at the Windows phone.
interop_pick_udp_port win_port
PHONE_PROGRAM=$WINDOWS_PHONE PHONE_OPTIONS=(--no-audio)
interop_start_phone "$win_port" "Address=127.0.0.1" "Register=1,1,0,3600" "VoIP=1,1,1,1,0,8000"
printf 'alice\tsecret\n' >"$PHONE_DATA_DIR/SIP-PIN.txt"
interop_pick_udp_port sipp_port
interop_sipp options options_405.xml "$sipp_port" -cid_str "wine-options-%u-%p@%s"
interop_sipp register register_digest.xml "$sipp_port" -cid_str "wine-%u-%p@%s" -au alice -ap secret \
  -set user alice -set contact "<sip:alice@127.0.0.1:$sipp_port>" -set expect 200 -set granted 3600
grep -q "^alice@127.0.0.1:$sipp_port	" "$PHONE_DATA_DIR/SIP-REG.txt" ||
  interop_fail "the registration is not in the Windows phone's SIP-REG.txt"
interop_stop_phone
interop_log "the Windows phone answers OPTIONS and registers a user with digest"

# 2. Calls between the two phones, each way, once per codec: the callee
#    answers by itself and records, the caller plays the sentence.
# call CALLER CALLEE NAME FLAGS MINIMUM: CALLER and CALLEE are the programs.
call() {
  local caller=$1 callee=$2 name=$3 flags=$4 minimum=$5 answer_port='' call_port='' status=0
  interop_pick_udp_port answer_port
  interop_pick_udp_port call_port
  PHONE_PROGRAM=$callee PHONE_OPTIONS=(--no-audio --auto-answer --record "$WORK_DIR/received-$name.wav")
  interop_start_phone "$answer_port" "VoIP=$flags,0,8000"
  timeout 60 "$caller" --config-dir "$WORK_DIR/caller-$name" --data-dir "$WORK_DIR" --no-audio \
    --set "Port=0,0,$call_port" --set "VoIP=$flags,0,8100" --call "x@127.0.0.1:$answer_port" \
    --play "$WORK_DIR/speech.wav" --hangup-after 6 --exit-when-idle >"$WORK_DIR/caller-$name.log" 2>&1 || status=$?
  [[ $status -eq 0 ]] || interop_fail "$name: the calling phone exited with $status:$(printf '\n'; sed 's/^/  | /' "$WORK_DIR/caller-$name.log")"
  interop_wait_for_line "$PHONE_LOG" '^ended: normal' 10 "$PHONE_PID" ||
    interop_fail "$name: the answering phone saw no normal end:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"
  interop_stop_phone
  "$compare" "$WORK_DIR/speech.wav" "$WORK_DIR/received-$name.wav" "$minimum" ||
    interop_fail "$name: the recording does not match the sentence played"
  interop_log "$name: the sentence arrived"
}
for codec in "PCMU 1,0,0,0 0.95" "PCMA 0,1,0,0 0.95" "GSM 0,0,1,0 0.80" "G729 0,0,0,1 0.60"; do
  read -r name flags minimum <<<"$codec"
  call "$WINDOWS_PHONE" "$BIN_DIR/nuvex-phone" "windows-to-linux-$name" "$flags" "$minimum"
  call "$BIN_DIR/nuvex-phone" "$WINDOWS_PHONE" "linux-to-windows-$name" "$flags" "$minimum"
done

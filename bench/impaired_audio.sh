#!/usr/bin/env bash
# How well a receiver hears a sentence through a poor network, the phone
# beside baresip (headless; what it decodes is kept by its sndfile module).
# SIPp calls each and plays the sentence of tests/interop/impaired_audio_test.sh
# as PCMU RTP, once as it was sent and once with 3 % of the packets lost and
# each delayed by 0 to 60 ms (the same seeded capture as the test). Each
# recording is scored against the sentence as G.711 carries it by segmental
# SNR (20 ms frames of speech, each aligned on its own; a frame below 10 dB
# is bad). Information only: nothing is asserted against baresip, but a run
# that cannot be measured fails. Inside a private network namespace.
#
# Usage: bash bench/impaired_audio.sh [BIN_DIR]     (default: build/bin)

# shellcheck source=bench/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh" "$@"
# shellcheck source=tests/interop/impaired_streams.sh
source "$BENCH_DIR/../tests/interop/impaired_streams.sh"
interop_require baresip soxi
impaired_streams_prepare
# baresip's microphone: silence for longer than a call lasts.
sox -n -r 8000 -c 1 -b 16 "$WORK_DIR/silence.wav" trim 0 30

# baresip_heard NAME PCAP: baresip, answering by itself, decodes PCAP played
# into a call; its sndfile recording becomes heard-NAME.wav.
baresip_heard() {
  local name=$1 pcap=$2 baresip_port='' dir=$WORK_DIR/baresip-$1 pid waited=0 kept
  interop_pick_udp_port baresip_port
  interop_baresip_config "$dir" "$baresip_port" PCMU auto "$WORK_DIR/silence.wav" dump
  baresip -f "$dir" -t 60 </dev/null >"$dir/log" 2>&1 &
  pid=$!
  interop_track_pid "$pid"
  until interop_udp_bound "$baresip_port"; do
    kill -0 "$pid" 2>/dev/null || interop_fail "$name: baresip did not start:$(printf '\n'; sed 's/^/  | /' "$dir/log")"
    ((waited++ < 200)) || interop_fail "$name: baresip did not bind UDP port $baresip_port within 10 s"
    sleep 0.05
  done
  impaired_sipp_call "$name" "$pcap" bs "$baresip_port"
  # The recording is complete once baresip has closed the call.
  interop_wait_for_line "$dir/log" 'terminated|closed' 10 "$pid" ||
    interop_fail "$name: baresip did not end the call:$(printf '\n'; sed 's/^/  | /' "$dir/log")"
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" || true
  interop_untrack_pid "$pid"
  kept=$(find "$dir" -name 'dump-*-dec.wav' -print -quit)
  [[ -n $kept ]] || interop_fail "$name: baresip kept no recording of the call"
  cp "$kept" "$WORK_DIR/heard-$name.wav"
}

# score NAME: "mean-SNR bad-percent seconds" of heard-NAME.wav, the last
# the length of the recording; fails the run when it cannot be scored.
# Every recording is scored with a quarter second of silence put before it:
# baresip's starts on its first packet and leaves lost frames out of what it
# decodes, so its later words come early, and frames are only aligned
# forward of the recording's start. The silence changes nothing else.
score() {
  local result status=0 length
  length=$(soxi -D "$WORK_DIR/heard-$1.wav") || interop_fail "$1: the recording cannot be read"
  sox "$WORK_DIR/heard-$1.wav" "$WORK_DIR/scored-$1.wav" pad 0.25 0
  result=$("$IMPAIRED_COMPARE" --segmental "$WORK_DIR/reference.wav" "$WORK_DIR/scored-$1.wav" 100) || status=$?
  [[ $status -eq 0 ]] || interop_fail "$1: the recording cannot be scored ($status): $result"
  interop_log "$1: $result, recorded ${length} s"
  sed -n "s/^segmental SNR \(-\{0,1\}[0-9.]*\) dB, \([0-9.]*\) % bad frames.*/\1 \2 $length/p" <<<"$result" | grep . ||
    interop_fail "$1: unexpected score: $result"
}

declare -A snr bad seconds
for stream in clean impaired; do
  impaired_phone_heard "phone-$stream" "$stream.pcap"
  baresip_heard "baresip-$stream" "$stream.pcap"
  for receiver in phone baresip; do
    scored=$(score "$receiver-$stream")
    read -r "snr[$receiver-$stream]" "bad[$receiver-$stream]" "seconds[$receiver-$stream]" <<<"$scored"
  done
done

echo
echo "A spoken sentence ($(printf %.2f "$(soxi -D "$WORK_DIR/reference.wav")") s) received as PCMU, scored by segmental SNR"
echo "against the sentence through G.711"
printf '%-8s %-34s %9s %11s %13s\n' receiver stream "SNR (dB)" "bad frames" "recorded (s)"
for receiver in phone baresip; do
  for stream in clean impaired; do
    case $stream in
      clean) label="as sent" ;;
      impaired) label="3 % loss, 0-60 ms jitter, seed 7" ;;
    esac
    printf '%-8s %-34s %9s %9s %% %13.2f\n' "$receiver" "$label" "${snr[$receiver-$stream]}" \
      "${bad[$receiver-$stream]}" "${seconds[$receiver-$stream]}"
  done
done
for stream in clean impaired; do
  awk -v s="$stream" -v a="${snr[phone-$stream]}" -v b="${snr[baresip-$stream]}" \
    'BEGIN { printf "phone - baresip, %-10s %+.1f dB\n", s ":", a - b }'
done

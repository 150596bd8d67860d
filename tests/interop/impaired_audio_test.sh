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
# shellcheck source=tests/interop/impaired_streams.sh
source "$(dirname "$0")/impaired_streams.sh"
impaired_streams_prepare
compare=$IMPAIRED_COMPARE

impaired_phone_heard clean clean.pcap
result=$("$compare" --segmental "$WORK_DIR/reference.wav" "$WORK_DIR/heard-clean.wav" 0) ||
  interop_fail "clean: speech frames were damaged: $result"
interop_log "clean: $result"
[[ $result == *", bit-exact,"* ]] || interop_fail "clean: the sentence did not arrive bit-exact: $result"
# The connection text tells of a poor reception, and only of one.
! grep -q ' % lost' "$PHONE_LOG" || interop_fail "clean: reported as lossy: $(grep ' % lost' "$PHONE_LOG")"

impaired_phone_heard impaired impaired.pcap
result=$("$compare" --segmental "$WORK_DIR/reference.wav" "$WORK_DIR/heard-impaired.wav" 6) ||
  interop_fail "impaired: more than 6 % bad frames: $result"
interop_log "impaired: $result"
grep -Eq '^info: RTP.*; buffer [0-9]+ ms, [1-9][0-9]? % lost$' "$PHONE_LOG" ||
  interop_fail "impaired: the loss was not shown:$(printf '\n'; sed 's/^/  | /' "$PHONE_LOG")"

#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build (TALVENOR_FUZZ=ON, see
# fuzz/CMakeLists.txt) for a bounded time each.
#   fuzz/run.sh BUILD_DIR [SECONDS [TARGET_SECONDS]]
# The SIP message target runs SECONDS (default 60), every other target
# TARGET_SECONDS (default SECONDS/3):
#   sip_message_fuzz      whole datagrams through reading, composing, dispatch
#   registrar_files_fuzz  REGISTERs against SIP-REG/SIP-PIN lists in real files
#   sdp_fuzz              ParseSdp on any body, BuildSdp read back
#   digest_fuzz           Authorization lines verified, 401/407 answered
#   rtp_receive_fuzz      datagrams to a call line's RTP receiver, decoded
# The RTP target decodes G.729 too with the build's libCodecG729.so. Corpora,
# logs and reproducers stay in BUILD_DIR/fuzz next to the targets. Exits
# non-zero when a target finds a crash; the reproducer is
# BUILD_DIR/fuzz/<target>-crash-<hash> (or -leak-, -timeout-, -oom-).
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 BUILD_DIR [SECONDS [TARGET_SECONDS]]" >&2
  exit 2
fi
build_dir=$(cd "$1" && pwd)
seconds=${2:-60}
target_seconds=${3:-$((seconds / 3 > 0 ? seconds / 3 : 1))}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out_dir="$build_dir/fuzz"
targets=(sip_message_fuzz registrar_files_fuzz sdp_fuzz digest_fuzz rtp_receive_fuzz)
for target in "${targets[@]}"; do
  if [[ ! -x "$out_dir/$target" ]]; then
    echo "$0: no $out_dir/$target; build $build_dir with -DTALVENOR_FUZZ=ON first" >&2
    exit 1
  fi
done

# Seeds: the project's edge cases, always; the RFC 4475 set when the shared
# test data is there (required when TALVENOR_REQUIRE_SHARED_TESTDATA=1).
edge_data="$repo/tests/testdata/sip-edge"
torture_data="$repo/../shared/testdata/sip-torture"
seed_data="$repo/tests/testdata/fuzz-seeds"
if ! compgen -G "$torture_data/*.dat" >/dev/null; then
  if [[ "${TALVENOR_REQUIRE_SHARED_TESTDATA:-}" == 1 ]]; then
    echo "$0: no RFC 4475 datagrams under $torture_data (TALVENOR_REQUIRE_SHARED_TESTDATA=1)" >&2
    exit 1
  fi
  echo "$0: no RFC 4475 datagrams under $torture_data; seeding from $edge_data only" >&2
fi

g729_library="$build_dir/bin/libCodecG729.so"
if [[ ! -f "$g729_library" ]]; then
  echo "$0: no $g729_library; the RTP target runs without G.729" >&2
  g729_library=""
fi

# Each target's corpus: its seeds, plus what earlier runs in BUILD_DIR found.
corpus="$out_dir/corpus"
mkdir -p "$corpus/sip_message_fuzz"
for file in "$edge_data"/*.dat "$torture_data"/*.dat; do
  [[ -f "$file" ]] || continue
  size=$(stat -c %s "$file")
  # Seeds longer than the largest datagram would only be rejected.
  if (( size <= 1500 )); then
    cp "$file" "$corpus/sip_message_fuzz/$(basename "$(dirname "$file")")-$(basename "$file")"
  fi
done
for target in "${targets[@]}"; do
  mkdir -p "$corpus/$target"
  if [[ -d "$seed_data/$target" ]]; then
    find "$seed_data/$target" -maxdepth 1 -type f ! -name '*.md' -exec cp {} "$corpus/$target/" \;
  fi
done

cd "$out_dir"
# Only the C library's own allocations are left out of the leak checks.
export LSAN_OPTIONS="suppressions=$repo/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="suppressions=$repo/tests/asan-suppressions.txt${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
failed=()
for target in "${targets[@]}"; do
  options=(-max_total_time="$target_seconds" -timeout=60 -print_final_stats=1 -artifact_prefix="$out_dir/$target-")
  case $target in
    sip_message_fuzz) options=(-max_len=1500 -max_total_time="$seconds" "${options[@]:1}") ;;
    rtp_receive_fuzz) options+=(-max_len=4096) ;;
    *) options+=(-max_len=2048) ;;
  esac
  echo "$0: running $target" >&2
  status=0
  TALVENOR_FUZZ_G729_LIBRARY="$g729_library" "./$target" "${options[@]}" "$corpus/$target" \
    2>&1 | tee "$out_dir/$target.log" || status=$?
  if (( status != 0 )); then
    failed+=("$target")
    echo "$0: $target FAILED; reproducer: $(ls -t "$out_dir/$target"-* 2>/dev/null | head -n 1)" >&2
  fi
done

echo "$0: final coverage" >&2
for target in "${targets[@]}"; do
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$out_dir/$target.log" | tail -n 1 || true)
  echo "  $target: ${done_line:-stopped before its final stats}" >&2
done
if (( ${#failed[@]} > 0 )); then
  echo "$0: crashes in: ${failed[*]}" >&2
  echo "$0: reproduce in $out_dir with LSAN_OPTIONS=$LSAN_OPTIONS ASAN_OPTIONS=$ASAN_OPTIONS" \
    "TALVENOR_FUZZ_G729_LIBRARY=$g729_library ./<target> <reproducer>" >&2
  exit 1
fi

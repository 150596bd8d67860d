#!/usr/bin/env bash
# Builds the module's libFuzzer targets with clang 14 (libFuzzer, ASan, UBSan)
# from the module's sources (no phone, no tests) and runs each for a bounded
# time.
#   fuzz/build_and_run.sh OUT_DIR [SECONDS [TARGET_SECONDS]]
# The SIP message target runs SECONDS (default 60), every other target
# TARGET_SECONDS (default SECONDS/3):
#   sip_message_fuzz      whole datagrams through reading, composing, dispatch
#   registrar_files_fuzz  REGISTERs against SIP-REG/SIP-PIN lists in real files
#   sdp_fuzz              ParseSdp on any body, BuildSdp read back
#   digest_fuzz           Authorization lines verified, 401/407 answered
#   rtp_receive_fuzz      datagrams to a call line's RTP socket, decoded
# Needs clang-14, libclang-rt-14-dev, libfmt-dev, nettle-dev and libgsm1-dev;
# with libbcg729-dev the RTP target decodes G.729 too. The module's sources
# are compiled once into OUT_DIR/obj (again only where a source or header
# changed) and every target is linked from them. Exits non-zero when a build
# fails or a target finds a crash; the reproducer stays in OUT_DIR as
# <target>-crash-<hash> (or -leak-, -timeout-, -oom-).
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 OUT_DIR [SECONDS [TARGET_SECONDS]]" >&2
  exit 2
fi
out_dir=$(mkdir -p "$1" && cd "$1" && pwd)
seconds=${2:-60}
target_seconds=${3:-$((seconds / 3 > 0 ? seconds / 3 : 1))}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=${TALVENOR_FUZZ_JOBS:-2}
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

compiler=clang++-14
# The version the CMake project names, as the library's build passes it.
version=$(sed -n 's/^project(Talvenor VERSION \([0-9.]*\).*/\1/p' "$repo/CMakeLists.txt")
common_flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=undefined -I"$repo"
  "-DTALVENOR_VERSION=\"$version\"")
object_flags=("${common_flags[@]}" -fsanitize=fuzzer-no-link,address,undefined)
link_flags=("${common_flags[@]}" -fsanitize=fuzzer,address,undefined)

# Every subsystem of the module, as the library is built from them.
sources=()
for dir in module transport sip registration calls media settings config platform; do
  for file in "$repo/$dir"/*.cpp; do
    [[ -f "$file" ]] && sources+=("$file")
  done
done

obj_dir="$out_dir/obj"
mkdir -p "$obj_dir"
# Objects made with other flags or another compiler are made anew.
stamp="$obj_dir/flags"
wanted="$($compiler --version | head -n 1) ${object_flags[*]}"
if [[ ! -f "$stamp" || "$(cat "$stamp")" != "$wanted" ]]; then
  rm -f "$obj_dir"/*.o "$obj_dir"/*.d
  printf '%s\n' "$wanted" >"$stamp"
fi

# True when the object is missing or older than its source or a header it read.
stale() {
  local object=$1 depfile=${1%.o}.d dependency
  [[ -f "$object" && -f "$depfile" ]] || return 0
  for dependency in $(sed -e 's/^[^:]*://' -e 's/\\$//' "$depfile"); do
    [[ "$dependency" -nt "$object" ]] && return 0
  done
  return 1
}

objects=()
pending=()
for source in "${sources[@]}"; do
  relative=${source#"$repo"/}
  object="$obj_dir/${relative//\//_}"
  object=${object%.cpp}.o
  objects+=("$object")
  stale "$object" && pending+=("$source|$object")
done
echo "$0: compiling ${#pending[@]} of ${#objects[@]} module sources ($jobs at a time)" >&2
build_failed=0
running=0
for entry in "${pending[@]}"; do
  source=${entry%%|*}
  object=${entry#*|}
  # A failed compile leaves no object behind, so the next run tries again.
  ( "$compiler" "${object_flags[@]}" -MMD -MF "${object%.o}.d" -c "$source" -o "$object" ||
      { rm -f "$object"; exit 1; } ) &
  running=$((running + 1))
  if (( running >= jobs )); then
    wait -n || build_failed=1
    running=$((running - 1))
  fi
done
while (( running > 0 )); do
  wait -n || build_failed=1
  running=$((running - 1))
done
if (( build_failed )); then
  echo "$0: the module's sources did not compile" >&2
  exit 1
fi

# The G.729 library over bcg729, for the RTP target, when bcg729 is installed.
g729_library=""
if [[ -f /usr/include/bcg729/decoder.h ]]; then
  if ! "$compiler" "${object_flags[@]}" -fPIC -shared "$repo/codec-g729/codec_g729.cpp" -lbcg729 \
      -o "$out_dir/libCodecG729.so"; then
    echo "$0: the G.729 library did not build" >&2
    exit 1
  fi
  g729_library="$out_dir/libCodecG729.so"
else
  echo "$0: no bcg729; the RTP target runs without G.729" >&2
fi

targets=(sip_message_fuzz registrar_files_fuzz sdp_fuzz digest_fuzz rtp_receive_fuzz)
for target in "${targets[@]}"; do
  if ! "$compiler" "${link_flags[@]}" "$repo/fuzz/$target.cpp" "$repo/fuzz/fuzz_host.cpp" "${objects[@]}" \
      -lfmt -lnettle -lgsm -ldl -lpthread -o "$out_dir/$target"; then
    echo "$0: $target did not build" >&2
    exit 1
  fi
done

# Each target's corpus: its seeds, plus what earlier runs in OUT_DIR found.
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
  echo "$0: reproduce in $out_dir with LSAN_OPTIONS=$LSAN_OPTIONS" \
    "TALVENOR_FUZZ_G729_LIBRARY=$g729_library ./<target> <reproducer>" >&2
  exit 1
fi

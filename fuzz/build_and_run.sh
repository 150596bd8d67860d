#!/usr/bin/env bash
# Builds the SIP message fuzzer with clang 14 (libFuzzer, ASan, UBSan) from
# the module's sources (no phone, no tests) and runs it for a bounded time.
#   fuzz/build_and_run.sh OUT_DIR [SECONDS]
# Needs clang-14, libclang-rt-14-dev, libfmt-dev and nettle-dev. Exits non-zero when the
# build fails or the fuzzer finds a crash (the reproducer stays in OUT_DIR).
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 OUT_DIR [SECONDS]" >&2
  exit 2
fi
out_dir=$(mkdir -p "$1" && cd "$1" && pwd)
seconds=${2:-60}
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Seeds: the project's edge cases, always; the RFC 4475 set when the shared
# test data is there (required when TALVENOR_REQUIRE_SHARED_TESTDATA=1).
edge_data="$repo/tests/testdata/sip-edge"
torture_data="$repo/../shared/testdata/sip-torture"
if ! compgen -G "$torture_data/*.dat" >/dev/null; then
  if [[ "${TALVENOR_REQUIRE_SHARED_TESTDATA:-}" == 1 ]]; then
    echo "$0: no RFC 4475 datagrams under $torture_data (TALVENOR_REQUIRE_SHARED_TESTDATA=1)" >&2
    exit 1
  fi
  echo "$0: no RFC 4475 datagrams under $torture_data; seeding from $edge_data only" >&2
fi

# Every subsystem of the module, as the library is built from them.
sources=()
for dir in module transport sip registration calls media settings platform; do
  for file in "$repo/$dir"/*.cpp; do
    [[ -f "$file" ]] && sources+=("$file")
  done
done
clang++-14 -std=c++20 -g -O1 -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$repo" "$repo"/fuzz/*.cpp "${sources[@]}" \
  -lfmt -lnettle -lgsm -ldl -lpthread -o "$out_dir/sip_message_fuzz"

corpus="$out_dir/corpus"
mkdir -p "$corpus"
for file in "$edge_data"/*.dat "$torture_data"/*.dat; do
  [[ -f "$file" ]] || continue
  size=$(stat -c %s "$file")
  # Seeds longer than the largest datagram would only be rejected.
  if (( size <= 1500 )); then
    cp "$file" "$corpus/$(basename "$(dirname "$file")")-$(basename "$file")"
  fi
done

cd "$out_dir"
./sip_message_fuzz -max_len=1500 -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$out_dir/" "$corpus"

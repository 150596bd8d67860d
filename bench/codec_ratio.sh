#!/usr/bin/env bash
# Runs the codec benchmarks and prints, for G.711, the time per 640-byte frame
# of the module's codec, spandsp's, and their ratio (the goal: 0.25 or less).
#   bash bench/codec_ratio.sh [BUILD_DIR]
set -euo pipefail
build="${1:-build}"
# Medians of five runs: two cores shared with whatever else runs make single
# runs noisy.
"$build/talvenor_bench" --benchmark_filter='Ulaw|Alaw|Gsm' --benchmark_format=json --benchmark_min_time=0.2 \
  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null | python3 -c '
import json, sys
rows = {b["run_name"]: b["cpu_time"] for b in json.load(sys.stdin)["benchmarks"] if b.get("aggregate_name") == "median"}
for name, ours in rows.items():
    if name.startswith("Our"):
        reference = rows[name.replace("Our", "Spandsp", 1)]
        print(f"{name[3:]:12} ours {ours:8.1f} ns  spandsp {reference:8.1f} ns  ratio {ours / reference:.2f}")
for name in ("GsmEncode", "GsmDecode"):
    print(f"{name:12} {rows[name]:8.1f} ns per frame")
'

#!/usr/bin/env bash
# Measures the uploader's pacing, CPU and memory on this machine and writes
# the table to docs/performance.md; then runs the micro-benchmarks.
# Run it on an idle machine: the figures are only as quiet as the machine.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset linux >/dev/null
cmake --build --preset linux --target upload_timing micro_bench fleet_timing records_bench
build/linux/bench/upload_timing --out docs/performance.md "$@"
build/linux/bench/fleet_timing --out docs/performance.md
echo
micro=$(build/linux/bench/micro_bench --benchmark_min_time=0.2 2>&1)
echo "$micro"
{
  echo
  echo "## Micro-benchmarks"
  echo
  echo "CRC and sealing of one frame, reading a capture of a whole 4 KiB upload (710 records)"
  echo "into the virtual device, and one sleep and wake-up of the timing thread 600 µs ahead (its"
  echo "CPU column is what each wake-up costs) (\`bench/micro_bench\`, Google Benchmark):"
  echo
  echo '```'
  echo "$micro" | grep -E '^(Benchmark|-+$|BM_)'
  echo '```'
} >>docs/performance.md
records=$(build/linux/bench/records_bench)
echo "$records"
{
  echo
  echo "## Service records"
  echo
  echo "history and inventory from a records file of 100,000 uploads and 20,000 fixtures"
  echo "(\`bench/records_bench\`; medians of five; a table of history shows the newest 1000):"
  echo
  echo "$records"
} >>docs/performance.md

#!/usr/bin/env bash
# The tool's single-board sequence through the main window (offscreen) and through a sink without
# widgets, and stm32flash -m 8n1 -w, one after the other, each against a fresh
# `servicetool-sim --boot --pace --log` at the given speed, RUNS times each. Each run reports its
# time against the limit, its CPU, and from the simulator's byte log the gaps from the last answer
# byte to the next request byte per kind of exchange (data block -> 0x31, 0x31 -> address,
# address -> data block); then how busy the whole machine was meanwhile (other work on the 2 cores
# makes the figures noisy).
# Usage: bench/firmware_compare.sh [BAUD] [RUNS] [IMAGE_KIB]     (defaults: 115200 3 256)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bin=${SERVICETOOL_BIN:-$here/build/bin}
baud=${1:-115200}
runs=${2:-3}
kib=${3:-256}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((kib * 1024)) /dev/urandom > "$work/image.bin"

cpu_times() {  # busy and total jiffies of the whole machine
  awk '/^cpu /{ print $2+$3+$4+$7+$8+$9, $2+$3+$4+$5+$6+$7+$8+$9 }' /proc/stat
}

run() {  # run TOOL-OPTIONS...
  "$bin/servicetool-sim" --link "$work/tty" --boot --pace --baud "$baud" --stats "$work/stats" --log "$work/line.log" > /dev/null &
  local sim=$!
  for _ in $(seq 50); do [ -e "$work/tty" ] && break; sleep 0.05; done
  local before after
  before=$(cpu_times)
  "$bin/firmware_upload" "$@" --port "$work/tty" --baud "$baud" --stats "$work/stats" --sim-log "$work/line.log" "$work/image.bin" || true
  after=$(cpu_times)
  echo "$before $after" | awk '{ printf "machine busy              %9.1f %% of 2 cores (load %s)\n", 100*($3-$1)/($4-$2), "'"$(cut -d' ' -f1 /proc/loadavg)"'" }'
  kill "$sim"; wait "$sim" 2>/dev/null || true
  rm -f "$work/stats" "$work/line.log"
}

echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
for i in $(seq "$runs"); do
  echo "== run $i"
  run --window
  echo
  run
  echo
  run --stm32flash
done

#!/bin/sh
# CPU time and resident memory of a real `kestrum-cli monitor` at the default 2-second interval.
# Usage: bench/monitor-cpu.sh [SECONDS]   (default 120)
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-120}
data=$(mktemp -d)
KESTRUM_DATA_DIR=$data KESTRUM_CONFIG_DIR=$data build/default/bin/kestrum-cli monitor --duration "$seconds" >/dev/null &
pid=$!
sleep 3
start=$(awk '{print $14 + $15}' /proc/$pid/stat)
sleep $((seconds - 6))
end=$(awk '{print $14 + $15}' /proc/$pid/stat)
rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
wait $pid
ticks=$(getconf CLK_TCK)
awk -v s="$start" -v e="$end" -v t="$ticks" -v w="$((seconds - 6))" -v r="$rss" 'BEGIN {
    cpu = (e - s) / t
    printf "kestrum-cli monitor: %.2f s CPU over %d s = %.3f %% of one core; RSS %d KiB\n", cpu, w, 100 * cpu / w, r
}'
rm -rf "$data"

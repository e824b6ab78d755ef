#!/bin/bash
# What a Prometheus scrape costs the monitor: starts `kestrum-cli monitor --metrics-listen` on a
# private data folder, lets it take a few samples, then scrapes /metrics N times (default 200) with
# curl and reports the monitor's processor time per scrape (from /proc/PID/stat) and curl's latency.
# Usage: bench/metrics-scrape.sh [N] [BUILD_DIR]
set -eu
n=${1:-200}
build=${2:-build/default}
port=$((20000 + $$ % 20000))
data=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$data"' EXIT
KESTRUM_DATA_DIR="$data" "$build/bin/kestrum-cli" monitor --interval 2 --metrics-listen "127.0.0.1:$port" >/dev/null &
pid=$!
sleep 6
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
curl -fsS "http://127.0.0.1:$port/metrics" -o "$data/page"
lines=$(grep -vc '^#' "$data/page")
bytes=$(wc -c < "$data/page")
# Idle cost over the same span first, so the scrapes' share can be told apart from sampling.
before=$(ticks); start=$(date +%s.%N)
sleep 10
idle=$(( $(ticks) - before ))
before=$(ticks); t0=$(date +%s.%N)
i=0
while [ $i -lt $n ]; do
    curl -fsS -o /dev/null -w '%{time_total}\n' "http://127.0.0.1:$port/metrics" >> "$data/latency"
    i=$((i + 1))
done
t1=$(date +%s.%N)
busy=$(( $(ticks) - before ))
awk -v busy="$busy" -v idle="$idle" -v hz="$hz" -v n="$n" -v t0="$t0" -v t1="$t1" \
    -v lines="$lines" -v bytes="$bytes" '
    { s[NR] = $1 }
    END {
        span = t1 - t0
        idleRate = idle / hz / 10          # processor seconds per second while only sampling
        scrapes = busy / hz - idleRate * span
        printf "page: %d samples, %d bytes\n", lines, bytes
        printf "%d scrapes in %.2f s; monitor processor time per scrape: %.2f ms (sampling alone: %.2f%% of a core)\n", n, span, scrapes * 1000 / n, idleRate * 100
        printf "latency (curl, total): median %.2f ms, 95th percentile %.2f ms\n", s[int(NR/2)+1] * 1000, s[int(NR*0.95)] * 1000
    }' <(sort -n "$data/latency")

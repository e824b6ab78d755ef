#!/bin/sh
# CPU time and resident memory of Kestrum monitoring at the default 2-second interval, side by side:
# the headless `kestrum-cli monitor`, the application started hidden in the tray, and the application
# with its window shown (offscreen platform, software renderer — what this headless machine has).
# Each gets its own data folder; all three run at once for the same wall time.
# Usage: bench/monitor-cpu.sh [SECONDS]   (default 120)
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-120}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"

launch() { # name, command…
    name=$1
    shift
    mkdir -p "$work/$name"
    KESTRUM_DATA_DIR="$work/$name" KESTRUM_CONFIG_DIR="$work/$name" XDG_CONFIG_HOME="$work/$name" \
        "$@" >/dev/null 2>&1 &
    echo $! >"$work/$name.pid"
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }

launch cli build/default/bin/kestrum-cli monitor --duration $((seconds + 10))
launch hidden build/default/bin/kestrum --hidden
launch shown build/default/bin/kestrum
sleep 5 # past start-up: the measured span is steady monitoring
for name in cli hidden shown; do
    pid=$(cat "$work/$name.pid")
    cpu_ticks "$pid" >"$work/$name.start"
    rss_kib "$pid" >"$work/$name.rss-start"
done
sleep "$seconds"
ticks=$(getconf CLK_TCK)
for name in cli hidden shown; do
    pid=$(cat "$work/$name.pid")
    awk -v s="$(cat "$work/$name.start")" -v e="$(cpu_ticks "$pid")" -v t="$ticks" -v w="$seconds" \
        -v r0="$(cat "$work/$name.rss-start")" -v r="$(rss_kib "$pid")" -v n="$name" 'BEGIN {
        cpu = (e - s) / t
        printf "%-7s %.2f s CPU over %d s = %.3f %% of one core; RSS %.1f MiB at start, %.1f MiB at end\n",
               n, cpu, w, 100 * cpu / w, r0 / 1024, r / 1024
    }'
    kill "$pid" 2>/dev/null || true
done
wait

#!/bin/sh
# Times `kestrum-cli storage` against `du -sx`, `gdu -n -p -s -x` and `ncdu -x -0 -o /dev/null` on one
# folder: warm cache (best of five runs each), then once each with a cold cache when that is allowed
# (root: `sync; echo 3 > /proc/sys/vm/drop_caches` before every cold run).
# Usage: bench/storage-vs-du.sh [FILES]       a generated tree of FILES files (default 200000)
#        bench/storage-vs-du.sh --tree DIR    a real folder, for example /usr
set -eu
cd "$(dirname "$0")/.."
cli=build/default/bin/kestrum-cli
work=$(mktemp -d /var/tmp/kestrum-storage-bench.XXXXXX)
# The benchmark's scans must not replace the folder a user remembered.
export KESTRUM_CONFIG_DIR="$work/.config"
trap 'rm -rf "$work"' EXIT

if [ "${1:-}" = "--tree" ]; then
    [ $# -eq 2 ] || { echo "usage: $0 --tree DIR" >&2; exit 2; }
    target=$2
    [ -d "$target" ] || { echo "$target is not a folder" >&2; exit 2; }
else
    files=${1:-200000}
    target="$work/data"
    echo "building $files files under $target ..."
    python3 - "$target" "$files" <<'PY'
import os, sys
root, total = sys.argv[1], int(sys.argv[2])
exts = ["txt", "jpg", "mp4", "py", "pdf", "zip", "md", "bin", "json", "mp3"]
per_dir = 100
n = 0
d = 0
while n < total:
    # three levels: 20 top folders, folders of folders, 100 files each
    path = os.path.join(root, "top%02d" % (d % 20), "mid%03d" % ((d // 20) % 100), "leaf%05d" % d)
    os.makedirs(path, exist_ok=True)
    for i in range(min(per_dir, total - n)):
        with open(os.path.join(path, "f%03d.%s" % (i, exts[i % len(exts)])), "wb") as f:
            f.write(b"x" * (100 + (i * 37) % 5000))
        n += 1
    d += 1
PY
fi

# name|command; the command reads the folder from $target
tools="kestrum-cli storage|$cli storage \"\$target\" --json
du -sx|du -sx \"\$target\"
gdu -n -p -s -x|gdu -n -p -s -x \"\$target\"
ncdu -x -0 -o /dev/null|ncdu -x -0 -o /dev/null \"\$target\""

available() { # the command word of a tool line is installed
    command -v "$(echo "$1" | cut -d' ' -f1)" >/dev/null 2>&1
}

once() { # wall seconds of one run of the command line "$1"
    s=$(date +%s.%N); eval "$1" >/dev/null 2>&1; e=$(date +%s.%N)
    echo "$s $e" | awk '{printf "%.3f", $2 - $1}'
}

best() { # best wall seconds of five runs of the command line "$1"
    b=999999
    for _ in 1 2 3 4 5; do
        t=$(once "$1")
        b=$(echo "$b $t" | awk '{print ($2 < $1) ? $2 : $1}')
    done
    echo "$b"
}

echo "folder: $target ($(find "$target" -xdev -type f | wc -l) files, $(find "$target" -xdev -type d | wc -l) folders)"
echo "machine: $(nproc) CPUs, load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$cli" storage "$target" --json >/dev/null 2>&1 || true # warm the cache

echo "warm cache, best of 5 (seconds):"
ours=""
echo "$tools" | while IFS='|' read -r name command; do
    if ! available "$command"; then
        printf '  %-26s not installed\n' "$name"
        continue
    fi
    t=$(best "$command")
    if [ -z "$ours" ]; then
        ours=$t
        printf '  %-26s %s\n' "$name" "$t"
    else
        printf '  %-26s %s  (kestrum-cli is %sx as fast)\n' "$name" "$t" "$(echo "$t $ours" | awk '{printf "%.2f", $1 / $2}')"
    fi
done

if [ -w /proc/sys/vm/drop_caches ]; then
    echo "cold cache, one run each (seconds):"
    echo "$tools" | while IFS='|' read -r name command; do
        available "$command" || continue
        sync
        echo 3 > /proc/sys/vm/drop_caches
        printf '  %-26s %s\n' "$name" "$(once "$command")"
    done
else
    echo "cold cache: not measured (needs permission to write /proc/sys/vm/drop_caches)"
fi

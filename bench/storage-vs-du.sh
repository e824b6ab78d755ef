#!/bin/sh
# Builds a tree of 200,000 files and times `kestrum-cli storage` against `du -s` and `find -printf` on
# it, warm cache (best of five runs each), then once each with a cold cache when that is allowed.
# Usage: bench/storage-vs-du.sh [FILES]   (default 200000)
set -eu
cd "$(dirname "$0")/.."
files=${1:-200000}
tree=$(mktemp -d /var/tmp/kestrum-storage-bench.XXXXXX)
cli=build/default/bin/kestrum-cli
export KESTRUM_CONFIG_DIR="$tree/.config"
trap 'rm -rf "$tree"' EXIT

echo "building $files files under $tree ..."
python3 - "$tree/data" "$files" <<'PY'
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

best() { # best wall time in seconds of five runs of "$@"
    b=999999
    for _ in 1 2 3 4 5; do
        s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
        b=$(echo "$b $s $e" | awk '{t = $3 - $2; print (t < $1) ? t : $1}')
    done
    echo "$b"
}

"$cli" storage "$tree/data" --json >/dev/null # warm the cache
k=$(best "$cli" storage "$tree/data" --json)
d=$(best du -s "$tree/data")
f=$(best sh -c "find '$tree/data' -printf '%b\n' | awk '{s += \$1} END {print s}'")
echo "warm cache, best of 5 (seconds):"
echo "  kestrum-cli storage  $k"
echo "  du -s                $d"
echo "  find -printf         $f"
echo "$k $d $f" | awk '{printf "  kestrum-cli is %.2fx as fast as du -s and %.2fx as fast as find\n", $2 / $1, $3 / $1}'

if [ -w /proc/sys/vm/drop_caches ]; then
    sync
    for tool in kestrum du; do
        echo 3 > /proc/sys/vm/drop_caches
        s=$(date +%s.%N)
        if [ $tool = kestrum ]; then "$cli" storage "$tree/data" --json >/dev/null; else du -s "$tree/data" >/dev/null; fi
        e=$(date +%s.%N)
        echo "cold cache: $tool $(echo "$s $e" | awk '{print $2 - $1}') s"
    done
else
    echo "cold cache: not measured (needs permission to write /proc/sys/vm/drop_caches)"
fi

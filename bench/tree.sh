#!/usr/bin/env bash
# Nested albums: a tree of 100 folders of 100 small pictures against the same
# 10,000 pictures in one folder (first run and unchanged re-run), then the
# peak memory of a tree of 1,000 folders and 100,000 pictures. On tmpfs when
# /dev/shm is there, so that the disk's own flushes do not blur the figures.
#   bench/tree.sh [BUILD]
set -euo pipefail
. "$(dirname "$0")/timing.sh"
build=${1:-build}
base=/dev/shm
[ -d "$base" ] && [ -w "$base" ] || base=${TMPDIR:-/tmp}
work=$(mktemp -d "$base/vimbrel-tree.XXXXXX")
trap 'rm -rf "$work"' EXIT

# folders count, pictures in each, nested in tens: ROOT/yNN/fNNNN/pNNN.gif
make_tree() {
    python3 - "$1" "$2" "$3" <<'PY'
import os, sys
root, folders, each = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
gif = bytes.fromhex('47494638396102000200800000000000ffffff2c00000000020002000002028451003b')
for f in range(folders):
    d = f'{root}/y{f // 10:03}/f{f:04}'
    os.makedirs(d, exist_ok=True)
    for i in range(each):
        open(f'{d}/p{i:03}.gif', 'wb').write(gif)
PY
}
make_flat() {
    python3 - "$1" "$2" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
os.makedirs(root)
gif = bytes.fromhex('47494638396102000200800000000000ffffff2c00000000020002000002028451003b')
for i in range(count):
    open(f'{root}/p{i:06}.gif', 'wb').write(gif)
PY
}
peak() { # peak memory of "$@" in MB
    /usr/bin/time -o "$work/peak" -f '%M' "$@" >/dev/null 2>&1
    echo "$(tail -n 1 "$work/peak") / 1024" | bc -l
}

make_flat "$work/flat" 10000
make_tree "$work/tree" 100 100
flat_first=$(seconds "$build/vimbrel" --generate --gallery "$work/flat")
tree_first=$(seconds "$build/vimbrel" --generate --gallery --recursive "$work/tree")
flat_again=$(seconds "$build/vimbrel" --generate --gallery "$work/flat")
tree_again=$(seconds "$build/vimbrel" --generate --gallery --recursive "$work/tree")
rm -rf "$work/flat" "$work/tree"
make_tree "$work/big" 1000 100
big_peak=$(peak "$build/vimbrel" --generate --gallery --recursive "$work/big")

printf 'cores: %d, on %s, load average: %s\n' "$(nproc)" "$base" "$(cut -d' ' -f1-3 /proc/loadavg)"
printf '10,000 pictures in one folder, first run:     %7.2f s\n' "$flat_first"
printf '100 folders of 100, first run:                %7.2f s (%.2f x; goal: at most 1.3 x)\n' "$tree_first" "$(echo "$tree_first / $flat_first" | bc -l)"
printf '10,000 pictures in one folder, unchanged:     %7.2f s\n' "$flat_again"
printf '100 folders of 100, unchanged:                %7.2f s (%.2f x; goal: at most 1.3 x)\n' "$tree_again" "$(echo "$tree_again / $flat_again" | bc -l)"
printf '1,000 folders of 100, peak memory:            %7.1f MB (goal: under 256 MB)\n' "$big_peak"

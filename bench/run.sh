#!/bin/sh
# Run by a contributor who changed what a run costs: measures what a run of the Linux program
# costs, against the goals:
#   1. a whole successful run takes at most 1.10 times as long as /bin/true;
#   2. three lookups in a 64 MiB settings file, with the section at its end, take at most 5 times
#      as long as reading that file three times with cat;
#   3. peak memory with that file is within 1 MiB of that with a 100-byte one.
# Exits 1 when a figure misses its goal.
set -eu
cd "$(dirname "$0")/.."
missing=""
command -v hyperfine >/dev/null || missing="$missing hyperfine"
[ -x /usr/bin/time ] || missing="$missing time"
if [ -n "$missing" ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo sh scripts/lib/update-package-lists.sh && $sudo apt-get install -y -q --no-install-recommends $missing
fi
sh scripts/install-deps.sh native
cmake --preset native >/dev/null
cmake --build --preset native --target halmere-netcfg >/dev/null
program=$(pwd)/build/native/halmere-netcfg

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/small" "$work/big"
settings='[NETWORK]\nGCIP=192.168.0.50\nGATEWAY=192.168.0.1\nNETMASK=255.255.255.0\n'
printf "$settings; %027d\n" 0 >"$work/small/halmere02.ini" # 100 bytes
awk 'BEGIN {
  target = 64 * 1024 * 1024 - 80
  for (host = 0; size < target; host++) {
    section = sprintf("[HOST%07d]\r\nGCIP=10.%d.%d.1\r\n; spare\r\nNETMASK=255.255.0.0\r\n",
                      host, int(host / 256) % 256, host % 256)
    printf "%s", section
    size += length(section)
  }
  printf "[NETWORK]\r\nGCIP=192.168.0.50\r\nGATEWAY=192.168.0.1\r\nNETMASK=255.255.255.0\r\n"
}' >"$work/big/halmere02.ini"
sh scripts/lib/make-sample-image.sh "$work/small/halmere02a.dol"
cp "$work/small/halmere02a.dol" "$work/big/"
echo "Settings files: $(wc -c <"$work/small/halmere02.ini") and $(wc -c <"$work/big/halmere02.ini") bytes"

# Mean times in seconds of two commands, from hyperfine's CSV export.
means() { awk -F, 'NR > 1 { printf "%s ", $2 }' "$1"; }
verdict() { awk -v value="$1" -v goal="$2" 'BEGIN { print (value <= goal) ? "within goal" : "OVER GOAL" }'; }
failed=0
check() { # name value goal unit
  result=$(verdict "$2" "$3")
  printf '%-52s %10s %-3s (goal <= %s) %s\n' "$1" "$2" "$4" "$3" "$result"
  [ "$result" = "within goal" ] || failed=1
}

# 1. Start-up. Rounds alternate which command goes first, so that drift hits both alike.
ratios=""
for round in 1 2 3 4 5 6; do
  if [ $((round % 2)) -eq 1 ]; then first=$program second=/bin/true; else first=/bin/true second=$program; fi
  (cd "$work/small" && hyperfine -N --style none --warmup 50 --runs 300 \
    --export-csv "$work/round.csv" "$first" "$second" >/dev/null 2>&1)
  set -- $(means "$work/round.csv")
  if [ "$first" = "$program" ]; then ratio=$(awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }')
  else ratio=$(awk -v a="$2" -v b="$1" 'BEGIN { printf "%.3f", a / b }'); fi
  ratios="$ratios $ratio"
done
startup=$(echo $ratios | tr ' ' '\n' | sort -n | awk '{ r[NR] = $1 } END { print r[int((NR + 1) / 2)] }')
echo "Run against /bin/true, per round:$ratios"
check "whole run / /bin/true (median of rounds)" "$startup" 1.10 "x"

# 2. Three lookups in the 64 MiB file against cat reading it three times.
(cd "$work/big" && hyperfine -N --style none --warmup 3 --runs 20 --export-csv "$work/big.csv" \
  "$program" "cat halmere02.ini halmere02.ini halmere02.ini" >/dev/null 2>&1)
set -- $(means "$work/big.csv")
echo "64 MiB settings: program $(awk -v t="$1" 'BEGIN { printf "%.1f", t * 1000 }') ms, cat x3 $(awk -v t="$2" 'BEGIN { printf "%.1f", t * 1000 }') ms"
check "64 MiB lookups / cat x3" "$(awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }')" 5 "x"

# 3. Peak memory, the highest of five runs each.
peak() { for i in 1 2 3 4 5; do (cd "$1" && /usr/bin/time -f %M "$program" 2>&1 >/dev/null); done | sort -n | tail -n 1; }
small_kib=$(peak "$work/small")
big_kib=$(peak "$work/big")
echo "Peak memory: $small_kib KiB with 100 bytes of settings, $big_kib KiB with 64 MiB"
check "peak memory difference" "$((big_kib - small_kib))" 1024 "KiB"
exit $failed

#!/usr/bin/env bash
# Daily card-type change benchmark: ScheduleService::autoChangeCardTypes against the same moves
# written as set-based SQL, on a generated shop, on a private sandbox server of its own.
#
#   bench/daily_change/run.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build/ of this tree (configured first when it does not exist yet).
# Environment: AB_BENCH_CARDS (120000) the number of member cards; AB_BENCH_PORT the sandbox's
# port (default: a free one from 3500 on). The sandbox lives in a temporary folder and is shut
# down and removed on exit. Every figure comes from this one run on this machine.
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cards=${AB_BENCH_CARDS:-120000}

port_free() {
  ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}
if [ -n "${AB_BENCH_PORT:-}" ]; then
  port=$AB_BENCH_PORT
else
  port=3500
  while ! port_free "$port"; do port=$((port + 1)); done
fi

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja >/dev/null
fi
ninja -C "$build" -j2 bench_daily_change >/dev/null
bench=$build/bench/daily_change/bench_daily_change

dir=$(mktemp -d "${TMPDIR:-/tmp}/ab-daily-bench.XXXXXX")
cleanup() {
  "$root/scripts/mariadb-sandbox" down "$dir/sandbox" >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
mkdir -p "$dir/home"
echo "starting a sandbox server on port $port in $dir ..." >&2
"$root/scripts/mariadb-sandbox" up "$dir/sandbox" "$port" >/dev/null
# Enough buffer pool for the job's database and its copy to stay in memory, as on a shop's
# server that has been running for a while.
mariadb --defaults-file="$dir/sandbox/client.cnf" \
  -e "SET GLOBAL innodb_buffer_pool_size = 1073741824"

"$bench" "$port" "$dir/home" "$cards"

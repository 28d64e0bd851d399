#!/usr/bin/env bash
# Requests per second and p50/p99 latency of the management pages 11
# (identity) and 13 (measured values) through lighttpd, as a browser gets
# them: a lighttpd of its own on loopback runs kestrel from the service's
# cgi-bin folder, with upskeeper and upssim behind it, so that every request
# maps the live record. wrk -t2 -c8, RUNS runs of 5 s for each page; prints
# each run and the median, and the server's CPU time per request (lighttpd
# and the kestrel runs it started, from /proc): on a machine shared with
# other work the rate says what the share allowed, the CPU time what a
# request costs.
#
#   bench/cgi.sh [RUNS]     (default 3; BUILD names the build folder)
#
# Runs in network and mount namespaces of its own (a loopback for lighttpd
# and port 8828, a /dev/shm for the record), so that it can run beside the
# tests; that takes root.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
runs=${1:-3}
port=8089
if [ -z "${ORVIK_CGI_BENCH_ISOLATED:-}" ]; then
  TARGETS="kestrel upskeeper upssim" BUILD_DIR="$build" scripts/build.sh >/dev/null
  export ORVIK_CGI_BENCH_ISOLATED=1
  exec unshare --net --mount "$0" "$@"
fi
mount -t tmpfs -o nosuid,nodev tmpfs /dev/shm
ip link set lo up

folder=$(mktemp -d /tmp/orvik-cgi-bench-XXXXXX)
chmod 755 "$folder"
mkdir "$folder/cgi-bin"
cp "$build/src/service/core/upskeeper" "$folder/"
cp "$build/src/cgi/kestrel" "$folder/cgi-bin/"
cp data/* "$folder/" 2>/dev/null || true
sim= keeper= web=
cleanup() {
  [ -n "$web" ] && kill "$web" 2>/dev/null && wait "$web" 2>/dev/null
  [ -n "$keeper" ] && kill -TERM "$keeper" 2>/dev/null && wait "$keeper" 2>/dev/null
  [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
  rm -rf "$folder"
}
trap cleanup EXIT

"$build/tools/upssim/upssim" --protocol 3 --link "$folder/ups.tty" --quiet >"$folder/upssim.dev" &
sim=$!
for _ in $(seq 50); do [ -s "$folder/upssim.dev" ] && break; sleep 0.1; done
: >"$folder/no-logins"
printf 'COM1=%s\nLoginRecords=%s\n' "$folder/ups.tty" "$folder/no-logins" >"$folder/platform.ini"
(cd "$folder" && exec ./upskeeper) >/dev/null 2>&1 &
keeper=$!
install/make_lighttpd_conf.sh "$folder" "$(pwd)/web" "$folder" 127.0.0.1 "$port" \
  >"$folder/lighttpd.conf"
# The site asks every request for a login: the benchmark's own.
echo "bench:bench" >"$folder/lighttpd.user"
login="Authorization: Basic $(printf bench:bench | base64)"
/usr/sbin/lighttpd -D -f "$folder/lighttpd.conf" &
web=$!

# Measured once the UPS is identified and its values are in the record.
url="http://127.0.0.1:$port/cgi-bin/kestrel.exe"
fetch() {
  python3 - "$1" "$login" 2>/dev/null <<'PY' || true
import sys, urllib.request
name, value = sys.argv[2].split(": ", 1)
request = urllib.request.Request(sys.argv[1], headers={name: value})
sys.stdout.write(urllib.request.urlopen(request).read().decode("latin-1"))
PY
}
for _ in $(seq 300); do
  page=$(fetch "$url?page=13")
  grep -q 'Input Voltage' <<<"$page" && ! grep -q 'itemData">&nbsp;0</font>' <<<"$page" && break
  sleep 0.1
done

# utime + stime of lighttpd and of its reaped children (the kestrel runs), ms.
server_cpu_ms() {
  awk -v hz="$(getconf CLK_TCK)" '{print ($14 + $15 + $16 + $17) * 1000 / hz}' "/proc/$web/stat"
}

echo "kestrel through lighttpd 1.4 on loopback, wrk -t2 -c8 -d5s, $(nproc) cores," \
  "load average $(cut -d' ' -f1 /proc/loadavg) before"
printf '%-8s %-6s %12s %10s %10s %14s\n' page run "requests/s" "p50 ms" "p99 ms" "server cpu ms"
for number in 11 13; do
  rates=() p50s=() p99s=() cpus=()
  for run in $(seq "$runs"); do
    cpu_before=$(server_cpu_ms)
    out=$(wrk -t2 -c8 -d5s --latency -H "$login" "$url?page=$number")
    cpu_after=$(server_cpu_ms)
    rate=$(awk '/^Requests\/sec:/ {print $2}' <<<"$out")
    requests=$(awk '/requests in/ {print $1}' <<<"$out")
    cpu=$(awk -v a="$cpu_before" -v b="$cpu_after" -v n="$requests" \
      'BEGIN {printf "%.3f", (b - a) / n}')
    # wrk prints latencies as 1.23ms, 456.00us or 1.02s.
    ms() {
      awk -v p="$1" '$1 == p {
        v = $2; f = 1
        if (v ~ /us$/) f = 0.001; else if (v ~ /ms$/) f = 1; else if (v ~ /s$/) f = 1000
        sub(/[a-z]+$/, "", v); printf "%.2f", v * f
      }' <<<"$out"
    }
    p50=$(ms 50%) p99=$(ms 99%)
    errors=$(awk '/Non-2xx|Socket errors/' <<<"$out")
    [ -n "$errors" ] && echo "  $errors" >&2
    printf '%-8s %-6s %12s %10s %10s %14s\n' "$number" "$run" "$rate" "$p50" "$p99" "$cpu"
    rates+=("$rate") p50s+=("$p50") p99s+=("$p99") cpus+=("$cpu")
  done
  median() { printf '%s\n' "$@" | sort -g | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }
  printf '%-8s %-6s %12s %10s %10s %14s\n' "$number" median "$(median "${rates[@]}")" \
    "$(median "${p50s[@]}")" "$(median "${p99s[@]}")" "$(median "${cpus[@]}")"
done

#!/usr/bin/env bash
# Installs what is missing, builds, and starts the service in run/ with its data
# files, its COM1 wired to a simulated UPS (upssim, protocol 3 unless
# UPSSIM_PROTOCOL says otherwise, or the plain "Q1" unit with UPSSIM_PLAIN_Q1=1),
# its COM2, the paging modem's port, to a simulated modem (modemsim), and the
# management pages on http://127.0.0.1:8080/ (lighttpd running kestrel from
# run/cgi-bin), behind a login whose fresh password it prints. Stop it with
# Ctrl-C; the simulators and lighttpd stop with it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --run
TARGETS="upskeeper upssim modemsim kestrel orvik webaccess" scripts/build.sh
mkdir -p run run/cgi-bin
# No winsweep here: a simulated power failure must not close the desktop's
# real applications, so the shutdown sequence finds none and goes on.
cp build/src/service/core/upskeeper build/src/cli/orvik build/src/webaccess/webaccess run/
cp build/src/cgi/kestrel run/cgi-bin/
cp -r data/. run/ 2>/dev/null || true

upssim=build/tools/upssim/upssim
link="$(pwd)/run/ups.tty"
rm -f "$link" run/upssim.ctl run/upssim.dev run/upssim.log
# A session of its own keeps Ctrl-C from the terminal away from upssim, so the
# UPS still answers while the service stops; the exit trap ends it after.
sim_kind=(--protocol "${UPSSIM_PROTOCOL:-3}")
[[ -n "${UPSSIM_PLAIN_Q1:-}" ]] && sim_kind=(--plain-q1)
setsid "$upssim" "${sim_kind[@]}" --link "$link" --ctl run/upssim.ctl \
  --log run/upssim.log --quiet >run/upssim.dev &
sim=$!
modemsim=build/tools/modemsim/modemsim
modem_link="$(pwd)/run/modem.tty"
rm -f "$modem_link" run/modemsim.ctl run/modemsim.dev run/modemsim.log
setsid "$modemsim" --link "$modem_link" --ctl run/modemsim.ctl --log run/modemsim.log --quiet \
  >run/modemsim.dev &
modem=$!
web= access=
trap 'kill "$sim" "$modem" $web $access 2>/dev/null || true
  wait "$sim" "$modem" $web $access 2>/dev/null || true' EXIT
# Each simulator prints its device once its link and control socket are in place.
for pair in "upssim:$sim" "modemsim:$modem"; do
  name=${pair%%:*} pid=${pair##*:}
  for _ in $(seq 50); do
    [[ -s run/$name.dev ]] && break
    kill -0 "$pid" 2>/dev/null || { echo "$name did not start" >&2; exit 1; }
    sleep 0.1
  done
  [[ -s run/$name.dev ]] || { echo "$name did not start" >&2; exit 1; }
done
# The shutdown sequence ends with the power-off command: here a recorder, so
# that a lasting power failure at upssim never switches this machine off.
printf '#!/bin/sh\necho "$(date "+%%F %%T") $*" >> "${0%%/*}/power-requests.log"\n' \
  >run/power-recorder
chmod 755 run/power-recorder
{
  echo "COM1=$link"
  echo "COM2=$modem_link"
  echo "PowerOffCommand=\"$(pwd)/run/power-recorder\" power off requested"
  echo "StopServiceCommand=\"$(pwd)/run/power-recorder\" stop requested"
  # Page 23's SNMP communities: a file of the run's own, not this machine's agent's.
  echo "SnmpdConf=$(pwd)/run/snmpd.conf"
} >run/platform.ini

echo "upskeeper is running in $(pwd)/run; the status record is /dev/shm/OrvikMappingObject."
echo "Drive the simulated UPS with: $upssim ctl --socket run/upssim.ctl power fail"
echo "See what the service sees with: run/orvik status (run/orvik --help lists more)"
echo "Pages (when an event's page is enabled) show in run/modemsim.log."
echo "A shutdown ends with \"power off requested\" in run/power-requests.log, never in a power-off."
# In the background so that Ctrl-C and SIGTERM reach the trap, which passes
# them on as the service's stop signal.
run/upskeeper &
keeper=$!

# The pages: a lighttpd of our own on loopback, in its own session like upssim.
install/make_lighttpd_conf.sh "$(pwd)/run" "$(pwd)/web" "$(pwd)/run" 127.0.0.1 8080 \
  >run/lighttpd.conf
rm -f run/lighttpd.pid
# A fresh password every run (page 61 changes it until the next); webaccess
# gives lighttpd the login from run/defaults.aut and again after each change.
password=$(tr -dc A-Za-z0-9 </dev/urandom | head -c 16 || true)
(umask 077 && printf '[/]\nadmin=%s\n[/java]\nall=*\n[/help]\nall=*\n' "$password" \
  >run/defaults.aut)
setsid run/webaccess run/defaults.aut run/lighttpd.user &
access=$!
setsid /usr/sbin/lighttpd -D -f run/lighttpd.conf &
web=$!
sleep 0.3
if kill -0 "$web" 2>/dev/null && kill -0 "$access" 2>/dev/null; then
  echo "The management pages: open http://127.0.0.1:8080/ and log in as admin with the password"
  echo "  $password"
  echo "(Ctrl-C stops everything)."
else
  echo "lighttpd or webaccess did not start (is port 8080 or 8881 taken?);" \
    "see run/lighttpd-error.log" >&2
fi
trap 'kill -TERM "$keeper" 2>/dev/null || true' INT TERM
# A trapped signal ends a wait early; the last wait gives the exit code.
while kill -0 "$keeper" 2>/dev/null; do
  wait "$keeper" || true
done
status=0
wait "$keeper" || status=$?
exit "$status"

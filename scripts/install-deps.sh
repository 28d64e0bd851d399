#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian 12, as root).
# With --run, only what scripts/run.sh builds and starts needs.
set -euo pipefail
run_only=
[[ ${1:-} == --run ]] && run_only=1
# What configuring and building the programs take (Xlib and XTest for
# winsweep), and lighttpd, which serves the management pages.
packages=(cmake ninja-build g++ libgtest-dev python3 procps util-linux iproute2 lighttpd
  libx11-dev libxtst-dev)
bare_packages=()
if [[ -z $run_only ]]; then
  # chromium (driven from Node.js by playwright-core) and wrk test and measure
  # the pages. postfix: the mail test runs a server of its own in a network
  # namespace of its own; the package's daemon is neither configured nor
  # started here. snmpd and snmp: the SNMP test runs an agent of its own on
  # the file page 23 edits, and asks it with snmpget. winsweep's tests: a
  # virtual X server, a window manager, a terminal and xprop; MinGW-w64 and
  # Wine for the Windows build.
  packages+=(chromium fonts-dejavu-core wrk postfix snmpd snmp
    xvfb xauth openbox xterm x11-utils g++-mingw-w64-x86-64-posix)
  command -v node >/dev/null || packages+=(nodejs)
  command -v npm >/dev/null || packages+=(npm)
  # Without their recommendations (Wine's would pull in hundreds of megabytes).
  bare_packages=(wine wine64)
fi
missing=()
missing_bare=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
for p in "${bare_packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing_bare+=("$p")
done
if ((${#missing[@]} + ${#missing_bare[@]})); then
  echo "Installing: ${missing[*]} ${missing_bare[*]}"
  echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
  # No service starts during the installation; a policy of the machine's own is kept.
  policy=/usr/sbin/policy-rc.d
  own_policy=
  if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod +x "$policy"
    own_policy=1
    trap 'rm -f "$policy"' EXIT
  fi
  apt=(apt-get -o DPkg::Lock::Timeout=600)
  "${apt[@]}" update -qq
  if ((${#missing[@]})); then
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq "${missing[@]}" >/dev/null
  fi
  if ((${#missing_bare[@]})); then
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq --no-install-recommends \
      "${missing_bare[@]}" >/dev/null
  fi
  if [[ -n $own_policy ]]; then
    rm -f "$policy"
    trap - EXIT
  fi
  # Debian starts lighttpd on port 80 of every interface; the pages run a
  # lighttpd of their own, so a server that was not here before goes again.
  if [[ " ${missing[*]} " == *" lighttpd "* ]] && command -v systemctl >/dev/null; then
    systemctl disable --now lighttpd >/dev/null 2>&1 || true
  fi
  # Likewise Debian's snmpd on port 161: an agent this script brought goes
  # again; one the machine already had stays.
  if [[ " ${missing[*]} " == *" snmpd "* ]] && command -v systemctl >/dev/null; then
    systemctl disable --now snmpd >/dev/null 2>&1 || true
  fi
fi
# The mail test's Postfix runs only inside its namespace: none on this machine,
# not even after the next boot.
if dpkg -s postfix >/dev/null 2>&1 && command -v systemctl >/dev/null && [[ -d /run/systemd/system ]]; then
  systemctl disable --now postfix.service >/dev/null 2>&1 || true
fi

[[ -n $run_only ]] && exit 0

# The browser tests' one npm package, as locked.
browser_tests="$(dirname "$0")/../tests/browser"
if [[ ! -d "$browser_tests/node_modules/playwright-core" ]]; then
  echo "Installing the browser tests' npm packages"
  (cd "$browser_tests" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund >/dev/null)
fi

# promtool, Prometheus's checker of the metrics text format, for the
# end-to-end test of `orvik metrics`. Only that program is taken from the
# prometheus package: installing the package would also start a Prometheus
# server on this machine.
if ! command -v promtool >/dev/null; then
  echo "Installing promtool from the prometheus package"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download -qq prometheus 2>/dev/null) ||
    { apt-get update -qq && (cd "$work" && apt-get download -qq prometheus); }
  dpkg-deb -x "$work"/prometheus_*.deb "$work/root"
  install -m 0755 "$work/root/usr/bin/promtool" /usr/local/bin/promtool
fi

#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian 12, as root).
set -euo pipefail
# postfix: the mail test runs a server of its own in a network namespace of
# its own; the package's daemon is neither configured nor started here.
packages=(cmake ninja-build g++ libgtest-dev python3 procps util-linux postfix)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
  # No service starts during the installation; a policy of the machine's own is kept.
  policy=/usr/sbin/policy-rc.d
  if [[ ! -e $policy ]]; then
    printf '#!/bin/sh\nexit 101\n' >"$policy"
    chmod +x "$policy"
    trap 'rm -f "$policy"' EXIT
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi
# Nor at the next boot.
if dpkg -s postfix >/dev/null 2>&1 && command -v systemctl >/dev/null && [[ -d /run/systemd/system ]]; then
  systemctl disable --now postfix.service >/dev/null 2>&1 || true
fi

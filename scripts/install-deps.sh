#!/usr/bin/env bash
# Installs what building and testing need, when it is missing (Debian 12, as root).
set -euo pipefail
# winsweep: Xlib and XTest to build it; a virtual X server, a window manager,
# a terminal and xprop for its tests; MinGW-w64 and Wine for its Windows build.
packages=(cmake ninja-build g++ libgtest-dev python3 procps util-linux
          libx11-dev libxtst-dev xvfb xauth openbox xterm x11-utils g++-mingw-w64-x86-64-posix)
# Without their recommendations (Wine's would pull in hundreds of megabytes).
bare_packages=(wine wine64)
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
  apt=(apt-get -o DPkg::Lock::Timeout=600)
  "${apt[@]}" update -qq
  if ((${#missing[@]})); then
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq "${missing[@]}" >/dev/null
  fi
  if ((${#missing_bare[@]})); then
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq --no-install-recommends \
      "${missing_bare[@]}" >/dev/null
  fi
fi

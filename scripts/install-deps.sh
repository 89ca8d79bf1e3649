#!/bin/sh
# Installs, from Debian's packages, whatever the build and the tests need and this machine lacks.
# Usage: install-deps.sh [native]   (native: only what the Linux program needs)
set -eu
packages="cmake make g++ libgtest-dev"
missing=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
    missing="$missing $package"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing

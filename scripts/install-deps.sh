#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the program need.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
export DEBIAN_FRONTEND=noninteractive
echo "== installing build dependencies (apt)"
$sudo apt-get update -q
# shellcheck disable=SC2046
$sudo apt-get install -y -q --no-install-recommends $(grep -v '^#' "$here/packages.txt")
# Node.js from NodeSource carries its own npm (and conflicts with Debian's
# npm package); Debian's nodejs needs the separate one.
if ! command -v npm >/dev/null; then $sudo apt-get install -y -q --no-install-recommends npm; fi

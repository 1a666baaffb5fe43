#!/usr/bin/env bash
# Installs what building and testing zu_zozov needs on Debian 12, when it is
# missing. Run as root (or with sudo available).
#   install-deps.sh        what the build, tests, benchmarks and examples need
#                          (the tool's CLI11, libcsv and SQLite; SQLite is also the
#                          book benchmark's yardstick)
#   install-deps.sh fuzz   that, and clang with libFuzzer (scripts/fuzz.sh)
#   install-deps.sh mutants  that, and python3 (scripts/mutants.sh)
#   install-deps.sh format   that, and clang-format (CI's format check)
set -euo pipefail

packages=(cmake g++ make pkg-config libboost-dev libxerces-c-dev libgtest-dev libgmock-dev
          googletest libbenchmark-dev libcli11-dev libcsv-dev libsqlite3-dev sqlite3)
if [ "${1:-}" = "fuzz" ]; then
    packages+=(clang libclang-rt-14-dev)
fi
if [ "${1:-}" = "mutants" ]; then
    packages+=(python3)
fi
if [ "${1:-}" = "format" ]; then
    packages+=(clang-format)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

#!/usr/bin/env bash
# Installs what the build and the tests need from Debian's packages, only
# when something is missing. Extra package names may be given as arguments.
set -euo pipefail

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v g++ >/dev/null || need+=(g++)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev googletest)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
for package in "$@"; do
  dpkg -s "$package" >/dev/null 2>&1 || need+=("$package")
done

if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

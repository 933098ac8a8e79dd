#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build, the tests, the package check and the
# fuzzer need and this machine lacks. Does nothing when all of it is there.
set -euo pipefail

# dpkg-dev gives dpkg-shlibdeps, which computes the package's Depends; lintian checks it.
# qemu-user runs the tests on emulated CPUs, so that every kernel set is tried, and those of
# the cross builds for arm64 and s390x, made by g++-aarch64-linux-gnu and g++-s390x-linux-gnu
# with GoogleTest built for the target from googletest's sources. The cross compilers bring
# the target's libraries (libc6-arm64-cross ...), whose dependency information gives the
# arm64 package's Depends.
packages=(cmake ninja-build g++ libgtest-dev dpkg-dev lintian clang libclang-rt-14-dev qemu-user
          g++-aarch64-linux-gnu g++-s390x-linux-gnu googletest)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
        missing+=("$package")
    fi
done
if ((${#missing[@]} > 0)); then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi

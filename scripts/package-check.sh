#!/usr/bin/env bash
# Builds the Debian packages and checks each: its architecture, exactly the expected files, a
# Depends line computed for the target's libraries under the names of the target's own
# packages, the unpacked tool run on the bundled example (under user-mode QEMU for another
# CPU), and lintian without errors (its warnings and notes are shown). First the package of
# the release build for this machine, then the arm64 package of the aarch64 cross build.
set -euo pipefail
cd "$(dirname "$0")/.."

expected='./usr/
./usr/bin/
./usr/bin/mean
./usr/share/
./usr/share/doc/
./usr/share/doc/mean/
./usr/share/doc/mean/changelog.Debian.gz
./usr/share/doc/mean/copyright
./usr/share/man/
./usr/share/man/man1/
./usr/share/man/man1/mean.1.gz'

fail() {
    echo "$*" >&2
    exit 1
}

# check_package PRESET ARCHITECTURE KERNELS [EMULATOR...]: the package of the preset's build,
# for the Debian ARCHITECTURE, whose unpacked tool, run by EMULATOR if any, names the kernel
# set KERNELS in `mean --version` (any, when KERNELS is empty).
check_package() {
    local preset=$1 architecture=$2 kernels=$3
    shift 3
    local emulator=("$@")
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target package
    local config=build/$preset/CPackConfig.cmake version release
    version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$config")
    release=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_RELEASE "\(.*\)")$/\1/p' "$config")
    local deb=build/$preset/mean_${version}-${release}_$architecture.deb
    echo "== checking $deb"
    [[ -f $deb ]] || fail "no package at $deb"
    [[ $(dpkg-deb -f "$deb" Architecture) == "$architecture" ]] ||
        fail "the package is for '$(dpkg-deb -f "$deb" Architecture)', not $architecture"

    dpkg-deb -c "$deb"
    if ! diff -u <(echo "$expected") <(dpkg-deb -c "$deb" | awk '{ print $6 }' | sort); then
        fail "the package holds other files than expected"
    fi

    # Debian's names of the target's packages: no cross package (libgcc-s1-arm64-cross) and
    # no architecture (libc6:arm64), which the cross libraries' dependency information has.
    local depends library
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for library in libc6 libstdc++6; do
        [[ $depends =~ (^|, )"$library"( |,|$) ]] || fail "Depends does not name $library"
    done
    [[ $depends != *-cross* && $depends != *:* ]] ||
        fail "Depends names a cross package or an architecture"

    local work tool count result about
    work=$(mktemp -d)
    # shellcheck disable=SC2064 # the folder of this call, removed when the script ends
    trap "rm -rf '$work'" EXIT
    dpkg-deb -x "$deb" "$work/root"
    tool=$work/root/usr/bin/mean
    count=$("${emulator[@]}" "$tool" examples/three.txt "$work/result.txt")
    result=$(cat "$work/result.txt")
    if [[ $count != 3 || $result != 2.000000 ]]; then
        fail "the packaged tool printed '$count' and wrote '$result'; expected '3' and '2.000000'"
    fi
    about=$("${emulator[@]}" "$tool" --version)
    [[ $(sed -n 1p <<<"$about") == "mean $version" ]] ||
        fail "the packaged tool does not call itself mean $version"
    if [[ -n $kernels && $(sed -n 2p <<<"$about") != "kernels: $kernels" ]]; then
        fail "the packaged tool says '$(sed -n 2p <<<"$about")', not 'kernels: $kernels'"
    fi
    zcat "$work/root/usr/share/man/man1/mean.1.gz" | cmp -s - man/mean.1 ||
        fail "the packaged manual page is not man/mean.1"
    echo "the unpacked tool printed $count and wrote $result${emulator[*]:+ under ${emulator[*]}}"
    rm -rf "$work"

    echo "== lintian"
    lintian --fail-on error --display-info "$deb"
    echo "lintian found no errors"
}

check_package release "$(dpkg --print-architecture)" ""
check_package aarch64 arm64 NEON qemu-aarch64 -L /usr/aarch64-linux-gnu

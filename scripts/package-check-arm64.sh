#!/usr/bin/env bash
# Builds the arm64 Debian package in the aarch64 cross build tree and checks it as
# package-check.sh checks the native one: exactly the expected files, a Depends line
# computed for the target's libraries with Debian's names of arm64 packages, the unpacked
# tool run on the bundled example under user-mode QEMU, and lintian without errors (its
# warnings and notes are shown).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset aarch64 >/dev/null
cmake --build --preset aarch64 --target package

cpack_value() {
    sed -n "s/^set($1 \"\(.*\)\")\$/\1/p" build/aarch64/CPackConfig.cmake
}
version=$(cpack_value CPACK_PACKAGE_VERSION)
deb=build/aarch64/mean_${version}-$(cpack_value CPACK_DEBIAN_PACKAGE_RELEASE)_arm64.deb
echo "== checking $deb"
[[ -f $deb ]] || { echo "no package at $deb" >&2; exit 1; }
architecture=$(dpkg-deb -f "$deb" Architecture)
[[ $architecture == arm64 ]] || { echo "the package is for '$architecture'" >&2; exit 1; }

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
dpkg-deb -c "$deb"
if ! diff -u <(echo "$expected") <(dpkg-deb -c "$deb" | awk '{ print $6 }' | sort); then
    echo "the package holds other files than expected" >&2
    exit 1
fi

# The names of arm64's own packages: no cross package (libgcc-s1-arm64-cross) and no
# architecture (libc6:arm64), which the dependency information of the cross libraries has.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6; do
    if [[ ! $depends =~ (^|, )"$library"( |,|$) ]]; then
        echo "Depends does not name $library" >&2
        exit 1
    fi
done
if [[ $depends == *-cross* || $depends == *:* ]]; then
    echo "Depends names a cross package or an architecture" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
tool=$work/root/usr/bin/mean
emulator=(qemu-aarch64 -L /usr/aarch64-linux-gnu)
count=$("${emulator[@]}" "$tool" examples/three.txt "$work/result.txt")
result=$(cat "$work/result.txt")
if [[ $count != 3 || $result != 2.000000 ]]; then
    echo "the packaged tool printed '$count' and wrote '$result'; expected '3' and '2.000000'" >&2
    exit 1
fi
about=$("${emulator[@]}" "$tool" --version)
if [[ $(sed -n 1p <<<"$about") != "mean $version" ]]; then
    echo "the packaged tool does not call itself mean $version" >&2
    exit 1
fi
if [[ $(sed -n 2p <<<"$about") != "kernels: NEON" ]]; then
    echo "the packaged tool on an emulated arm64 CPU says '$(sed -n 2p <<<"$about")'," \
         "not 'kernels: NEON'" >&2
    exit 1
fi
if ! zcat "$work/root/usr/share/man/man1/mean.1.gz" | cmp -s - man/mean.1; then
    echo "the packaged manual page is not man/mean.1" >&2
    exit 1
fi
echo "the unpacked tool printed $count and wrote $result under ${emulator[*]}"

echo "== lintian"
lintian --fail-on error --display-info "$deb"
echo "lintian found no errors"

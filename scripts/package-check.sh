#!/usr/bin/env bash
# Builds the Debian package in the release build tree and checks it: exactly the expected
# files, a Depends line computed from the binary, the unpacked tool run on the bundled
# example, and lintian without errors (its warnings and notes are shown). Then the arm64
# package of the aarch64 cross build, checked the same way by package-check-arm64.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset release >/dev/null
cmake --build --preset release --target package

cpack_value() {
    sed -n "s/^set($1 \"\(.*\)\")\$/\1/p" build/release/CPackConfig.cmake
}
version=$(cpack_value CPACK_PACKAGE_VERSION)
deb=build/release/mean_${version}-$(cpack_value CPACK_DEBIAN_PACKAGE_RELEASE)_$(dpkg --print-architecture).deb
echo "== checking $deb"
[[ -f $deb ]] || { echo "no package at $deb" >&2; exit 1; }

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

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
[[ $depends == *libc6* ]] || { echo "Depends does not name libc6" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
tool=$work/root/usr/bin/mean
count=$("$tool" examples/three.txt "$work/result.txt")
result=$(cat "$work/result.txt")
if [[ $count != 3 || $result != 2.000000 ]]; then
    echo "the packaged tool printed '$count' and wrote '$result'; expected '3' and '2.000000'" >&2
    exit 1
fi
if [[ $("$tool" --version | head -n 1) != "mean $version" ]]; then
    echo "the packaged tool does not call itself mean $version" >&2
    exit 1
fi
if ! zcat "$work/root/usr/share/man/man1/mean.1.gz" | cmp -s - man/mean.1; then
    echo "the packaged manual page is not man/mean.1" >&2
    exit 1
fi
echo "the unpacked tool printed $count and wrote $result"

echo "== lintian"
lintian --fail-on error --display-info "$deb"
echo "lintian found no errors"

scripts/package-check-arm64.sh

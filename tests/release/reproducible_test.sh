#!/usr/bin/env bash
# The same sources built twice, in two folders of different names, at two
# times, under different time zones and umasks, give the same win32
# setup.exe and the same zip, byte for byte; the zip carries the version
# and SHA256SUMS checks it.
set -euo pipefail
source "$(dirname "$0")/../lib/common.bash"
BUILD=win32
command -v i686-w64-mingw32-g++-win32 >/dev/null || skip "the i686 MinGW compiler is not installed"
command -v zip >/dev/null || skip "zip is not installed"
# The copies are no checkouts: package.sh gets the commit's time from here.
# The builds do not (the linker would take it for the PE header's time),
# so package.sh finds them up to date.
EPOCH=$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null) || skip "the sources are not a git checkout"
unset SOURCE_DATE_EPOCH
make_scratch release

# The sources as they stand, without the build trees.
copy_sources() {
    (cd "$ROOT" && git ls-files -z --cached --others --exclude-standard |
        tar --null -T - -cf -) | tar -xf - "$@"
}
ZIP=package/quarndel-setup-$(project_version)-win32.zip
build_in() {
    local folder=$SCRATCH/$1
    mkdir -p "$folder"
    copy_sources -C "$folder" "${@:2}"
    (cd "$folder" && cmake --preset win32 && cmake --build --preset win32 && SOURCE_DATE_EPOCH=$EPOCH bash tools/package.sh win32) \
        >"$folder.log" 2>&1 || { tail -30 "$folder.log" >&2; fail "the build in $folder failed"; }
    [ -f "$folder/build/$ZIP" ] || fail "no $ZIP in $folder/build"
}
build_in first
# Later, elsewhere: the files written now, private, and the clock in New Zealand.
(umask 077 && TZ=NZST-12 build_in second-build-folder --touch)

for file in win32/setup.exe "$ZIP" package/SHA256SUMS; do
    cmp "$SCRATCH/first/build/$file" "$SCRATCH/second-build-folder/build/$file" || fail "$file differs between the builds"
done
(cd "$SCRATCH/first/build/package" && sha256sum -c --strict SHA256SUMS) || fail "SHA256SUMS does not check the zip"
pass "two builds give the same setup.exe and $(basename "$ZIP")"

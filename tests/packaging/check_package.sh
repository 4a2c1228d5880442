#!/usr/bin/env bash
# The Debian package made from this build: exactly the expected files, the dependencies
# that shlibdeps cannot see, and a desktop entry and metainfo that pass their validators.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qmr4070-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  fail "cpack"
}
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single .deb in $work/out"
deb=${debs[0]}

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/files"
id=org.qmr4070.qmr4070
{
  printf '%s\n' ./usr/bin/qmr4070 ./usr/bin/qmr4070-sim ./usr/bin/qmr4070-line \
    ./usr/lib/systemd/system/qmr4070-line.service ./usr/share/man/man1/qmr4070-line.1.gz \
    ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml \
    ./usr/share/doc/qmr4070/copyright ./usr/share/man/man1/qmr4070.1.gz \
    ./usr/share/icons/hicolor/scalable/apps/qmr4070.svg
  for size in 16 24 32 48 64 128 256; do echo "./usr/share/icons/hicolor/${size}x${size}/apps/qmr4070.png"; done
} | sort >"$work/expected"
diff -u "$work/expected" "$work/files" || fail "the package's files differ from the expected (- expected, + packaged)"

depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6sql6-sqlite libqt6widgets6 libqt6serialport6 libpq5 libqt6httpserver6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
[[ $(dpkg-deb -f "$deb" Recommends) == *fonts-wqy-zenhei* ]] || fail "no CJK font recommended"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
zcat "$work/root/usr/share/man/man1/qmr4070.1.gz" | grep -q '^\.TH QMR4070 1' || fail "manual page"
zcat "$work/root/usr/share/man/man1/qmr4070-line.1.gz" | grep -q '^\.TH QMR4070-LINE 1' || fail "qmr4070-line manual page"
grep -q '^ExecStart=/usr/bin/qmr4070-line$' "$work/root/usr/lib/systemd/system/qmr4070-line.service" || fail "unit"
echo "package ok: $(basename "$deb"), $(stat -c %s "$deb") bytes"

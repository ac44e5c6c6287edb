#!/usr/bin/env bash
# Makes the Debian package from a build folder, unpacks it into a scratch root, lists what lands
# there and checks that the programs start from it and that the desktop files are valid.
# Usage: scripts/check-package.sh [build-dir]   (default build/ci, already built)
set -euo pipefail
cd "$(dirname "$0")/.."
build="$(cd "${1:-build/ci}" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT INT TERM HUP

fail() {
    echo "check-package: $*" >&2
    exit 1
}

(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log" >&2; fail "cpack could not make the package"; }
deb="$(ls "$scratch"/out/pdfplait_*.deb 2>/dev/null | head -n1)"
[ -n "$deb" ] || fail "no package was made"

dpkg-deb -I "$deb"
dpkg-deb -x "$deb" "$scratch/root"
echo "Files in $(basename "$deb"):"
(cd "$scratch/root" && find . -type f -o -type l | sort)

for f in usr/bin/pdfplait usr/bin/plait usr/bin/plait-engine-worker usr/bin/pdfplait-render usr/lib/pdfplait/libplait_textmarking.so \
    usr/lib/pdfplait/libplait_scripts.so usr/lib/pdfplait/libplait_images.so usr/share/applications/pdfplait.desktop \
    usr/share/mime/packages/pdfplait-settings.xml usr/share/metainfo/io.github.pdfplait.PDFPlait.metainfo.xml \
    usr/share/man/man1/pdfplait.1 usr/share/man/man1/plait.1 usr/share/pdfplait/PDFPlaitAPP.pdf \
    usr/share/icons/hicolor/scalable/apps/pdfplait.svg usr/share/icons/hicolor/48x48/apps/pdfplait.png \
    usr/share/icons/hicolor/256x256/apps/pdfplait.png usr/share/pdfplait/translations/pdfplait_de.qm; do
    [ -e "$scratch/root/$f" ] || fail "$f is not in the package"
done

depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6pdf6 libqpdf; do
    grep -q "$lib" <<<"$depends" || fail "the package does not depend on $lib (Depends: $depends)"
done

for bin in pdfplait plait pdfplait-render; do
    if readelf -S "$scratch/root/usr/bin/$bin" | grep -q '\.debug_info'; then
        fail "usr/bin/$bin is not stripped"
    fi
done

grep -q '^Exec=pdfplait %F$' "$scratch/root/usr/share/applications/pdfplait.desktop" ||
    fail "the menu entry does not pass files to the program"
appstreamcli validate --no-net "$scratch/root/usr/share/metainfo/io.github.pdfplait.PDFPlait.metainfo.xml"
desktop-file-validate "$scratch/root/usr/share/applications/pdfplait.desktop"

# The programs start from where the package put them.
QT_QPA_PLATFORM=offscreen "$scratch/root/usr/bin/pdfplait" --version | grep -q "PDF Plait" ||
    fail "pdfplait does not start from the package"
"$scratch/root/usr/bin/plait" --version >/dev/null || fail "plait does not start from the package"
# The preview's renderer opens the manual and draws its first page.
printf 'render 0 100\n' | "$scratch/root/usr/bin/pdfplait-render" "$scratch/root/usr/share/pdfplait/PDFPlaitAPP.pdf" \
    >"$scratch/render.out" || fail "pdfplait-render does not start from the package"
head -n2 "$scratch/render.out" | tail -n1 | grep -aq '^image 0 100 ' || fail "pdfplait-render does not draw from the package"
# The engine finds its modules where the package put them: a build that highlights a word of
# the manual loads the text-marking module.
"$scratch/root/usr/bin/plait" settings | awk 'p { print "PDF\r"; p = 0; next } { print } /^\[Field=txthighlight /{ p = 1 }' \
    >"$scratch/highlight.plt"
"$scratch/root/usr/bin/plait" build -q --settings "$scratch/highlight.plt" -o "$scratch/marked.pdf" \
    "$scratch/root/usr/share/pdfplait/PDFPlaitAPP.pdf" 2>"$scratch/marked.log" ||
    { cat "$scratch/marked.log" >&2; fail "a build from the package failed"; }
if grep -q "not available" "$scratch/marked.log"; then
    cat "$scratch/marked.log" >&2
    fail "the engine does not find its modules in the package"
fi
# A build from a PNG (the program's own icon) loads the image module.
"$scratch/root/usr/bin/plait" build -q -o "$scratch/icon.pdf" \
    "$scratch/root/usr/share/icons/hicolor/48x48/apps/pdfplait.png" 2>"$scratch/icon.log" ||
    { cat "$scratch/icon.log" >&2; fail "a build from an image failed with the package's image module"; }
qpdf --check "$scratch/icon.pdf" >/dev/null || fail "the PDF built from an image does not pass qpdf --check"
echo "check-package: $(basename "$deb") is complete"

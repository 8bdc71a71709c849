#!/usr/bin/env bash
# Builds the Debian package from a finished build, unpacks it into a scratch root and
# checks it: the programs, the samples, the menu entry and the icon are where they
# belong, the package names its library dependencies, and the unpacked programs run —
# quorvane-cli converts the installed samples into a copy of the installed sample
# database, and the desktop program starts (offscreen) and keeps running.
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/qv-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

if ! cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  fail "cpack could not build the package"
fi
deb=$(find "$work/pkg" -maxdepth 1 -name 'quorvane_*.deb' | head -1)
[ -n "$deb" ] || fail "no quorvane_*.deb in $work/pkg"
echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes)"

info=$(dpkg-deb -f "$deb" Package Version Architecture Depends)
echo "$info"
grep -q '^Package: quorvane$' <<<"$info" || fail "package name"
grep -q '^Depends:.*libqt6core6' <<<"$info" || fail "no dependency on Qt's core library"

root=$work/root
dpkg-deb -x "$deb" "$root"
app=$(dirname "$(find "$root/usr/lib" -type f -name quorvane-cli | head -1)")
[ -d "$app" ] || fail "quorvane-cli is not in the package"
for f in CUSTOMER.DB CUSTOMER.MB ORDERS.DB PARTS.DB PARTS.MB Archive/ORDERS97.DB sample.mdb; do
  [ -f "$app/Samples/$f" ] || fail "Samples/$f is not next to the programs"
done
[ -L "$root/usr/bin/quorvane-cli" ] || fail "no /usr/bin/quorvane-cli link"
[ "$(readlink -f "$root/usr/bin/quorvane-cli")" = "$(readlink -f "$app/quorvane-cli")" ] || fail "/usr/bin/quorvane-cli points elsewhere"
desktop=$root/usr/share/applications/quorvane.desktop
[ -f "$desktop" ] || fail "no .desktop entry"
grep -q '^Exec=quorvane$' "$desktop" || fail ".desktop entry does not start quorvane"
grep -q '^Icon=quorvane$' "$desktop" || fail ".desktop entry names no icon"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/quorvane.svg" ] || fail "no icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop" || fail ".desktop entry invalid"; fi

# The command-line converter, run from the unpacked package on the installed samples.
"$root/usr/bin/quorvane-cli" --help >"$work/help.txt" || fail "quorvane-cli --help"
grep -q 'convert' "$work/help.txt" || fail "quorvane-cli --help does not show convert"
cp "$app/Samples/sample.mdb" "$work/out.mdb"
"$root/usr/bin/quorvane-cli" convert "$app/Samples" "$work/out.mdb" >"$work/convert.txt" 2>&1 ||
  { cat "$work/convert.txt"; fail "converting the installed samples"; }
cat "$work/convert.txt"
grep -q '^Tables converted: 4$' "$work/convert.txt" || fail "not every sample table converted"
[ "$(sort <("$root/usr/bin/quorvane-cli" tables "$work/out.mdb") | tr '\n' ' ')" = "CUSTOMER ORDERS ORDERS97 PARTS " ] ||
  fail "the database does not list the sample tables"

# The desktop program: it must get as far as its window and stay up (no display here).
if [ -L "$root/usr/bin/quorvane" ]; then
  set +e
  HOME=$work XDG_CONFIG_HOME=$work/config QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/quorvane" >"$work/gui.txt" 2>&1
  gui=$?
  set -e
  [ $gui = 124 ] || { cat "$work/gui.txt"; fail "the desktop program ended at once (status $gui)"; }
fi
echo "package OK"

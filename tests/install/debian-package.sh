#!/usr/bin/env bash
# Builds the Debian package of the build tree with CPack, unpacks it into a
# throwaway root (dpkg-deb -x) and checks what a user gets: the package's
# fields, the files in their places, the generated files naming /usr/bin,
# and programs run from the root: a conversion, a module built against the
# packaged library and run by the packaged zxrun, Kestrin with its packaged
# module and server. lintian finds no error in the package.
#   debian-package.sh BUILD_DIR FORTRAN_COMPILER
set -euo pipefail
build=$1 fortran=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
debs=("$work"/package/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one package, got: ${debs[*]}"
deb=${debs[0]}
info=$(dpkg-deb --info "$deb")
grep -q "^ Package: convertor$" <<<"$info" || fail "package name: $info"
# dpkg-shlibdeps found the libraries the programs need.
grep -Eq "^ Depends: .*libgfortran5" <<<"$info" || fail "no dependency on libgfortran5: $info"
# Errors only: warnings and notes are Debian's advice, not faults.
report=$(lintian --tag-display-limit 0 "$deb" 2>&1 || true)
if grep -q "^E: " <<<"$report"; then fail "lintian: $(grep "^E: " <<<"$report")"; fi

root=$work/root
dpkg-deb -x "$deb" "$root"
usr=$root/usr
for file in bin/convertor bin/zxrun include/zentrix/zentrix.mod include/zentrix/zentrix.h \
  lib/cmake/Zentrix/ZentrixConfig.cmake share/man/man1/convertor.1.gz share/man/man1/zxrun.1.gz \
  share/doc/convertor/copyright share/doc/convertor/changelog.gz; do
  [ -e "$usr/$file" ] || fail "/usr/$file is not in the package"
done
# lib/ or lib/<triplet>/, as GNUInstallDirs chose.
library=$(find "$usr/lib" -name libzentrix.a | head -n 1)
[ -n "$library" ] && [ -e "$(dirname "$library")/libzentrix.so" ] ||
  fail "the libraries are not in the package"

zcat "$usr/share/man/man1/convertor.1.gz" | grep -q -- "-I/usr/include/zentrix" ||
  fail "convertor.1 does not name /usr/include/zentrix"
if [ -x "$usr/bin/ostrel" ]; then
  [ -x "$usr/libexec/ostrel/ostrel-worker" ] && [ ! -e "$usr/bin/ostrel-worker" ] ||
    fail "ostrel-worker is not under /usr/libexec/ostrel alone"
  [ -x "$usr/libexec/convertor/convertor-window" ] || fail "the window program is missing"
  grep -qx "Exec=/usr/bin/ostrel" "$usr/share/dbus-1/services/org.kvq.Ostrel.service" ||
    fail "service file: $(cat "$usr/share/dbus-1/services/org.kvq.Ostrel.service")"
  unit=$root/usr/lib/systemd/user/ostrel.service
  grep -qx "ExecStart=/usr/bin/ostrel" "$unit" && grep -qx "BusName=org.kvq.Ostrel" "$unit" ||
    fail "systemd unit: $(cat "$unit")"
  for desktop in org.kvq.Convertor org.kvq.Kestrin; do
    file=$usr/share/applications/$desktop.desktop
    grep -q "^Exec=/usr/bin/" "$file" || fail "$desktop.desktop: $(cat "$file")"
    if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$file"; fi
  done
fi

# A conversion and a module, with the packaged converter, library and runner.
printf '      PROGRAM HI\r\n      WRITE(*,*) 6*7\r\n      END\r\n' >"$work/HI.FOR"
(cd "$work" && "$usr/bin/convertor" NAME=HI HI.FOR hi.f >/dev/null)
"$fortran" -std=legacy -shared -fPIC -I "$usr/include/zentrix" "$work/hi.f" "$library" \
  -o "$work/hi.so"
out=$("$usr/bin/zxrun" "$work/hi.so" HI </dev/null)
grep -Eq "^ +42 *$" <<<"$out" || fail "the packaged zxrun printed: $out"

# Kestrin from the root finds its module in the packaged library folder and
# the packaged server beside itself.
if [ -x "$usr/bin/kestrin" ]; then
  (cd "$work" && QT_QPA_PLATFORM=offscreen dbus-run-session -- \
    "$usr/bin/kestrin" --run --nparams 2 --timeout 60) || fail "kestrin from the package"
fi
echo "package $(basename "$deb") unpacked and run"

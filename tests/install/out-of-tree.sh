#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and uses it as a user on
# Linux would: a CMake project outside the source tree (LF sources with an
# INCLUDE file) finds the package, builds a module, a console program and the
# MPI variant; the module runs with zxrun and inside the server (through the
# installed D-Bus service file); an edited INCLUDE file converts its source
# again; Kestrin finds its installed module and server. A Fortran-only
# project builds free-form and same-named sources, fails to link a module
# with an undefined routine, and compiles again when the library's module
# changes; a plain Makefile builds the module with pkg-config.
#   out-of-tree.sh BUILD_DIR PROJECT_DIR GENERATOR [FORTRAN_ONLY_DIR]
set -euo pipefail
build=$1 project=$2 generator=$3 fortran_only=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "FAIL: $*" >&2; exit 1; }
# expect_sum OUTPUT VALUE: the module printed "SUM VALUE".
expect_sum() {
  grep -Eq "^ *SUM +$2 *\$" <<<"$1" || fail "expected SUM $2, got: $1"
}

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/convertor bin/zxrun include/zentrix/zentrix.mod include/zentrix/zentrix_host.h \
  share/man/man1/convertor.1.gz share/doc/convertor/copyright share/doc/convertor/changelog.gz; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
# The manual names the folders of this installation.
zcat "$prefix/share/man/man1/convertor.1.gz" | grep -q -- "-I$prefix/include/zentrix" ||
  fail "convertor.1 does not name $prefix/include/zentrix"
# The worker is started by the server only: not on the search path.
[ ! -e "$prefix/bin/ostrel-worker" ] || fail "ostrel-worker is installed into bin/"

# A plain Makefile: the converter from the prefix, the flags from pkg-config.
pc=$(find "$prefix" -name zentrix.pc | head -n 1)
[ -n "$pc" ] || fail "zentrix.pc is not installed"
cp -r "$project" "$work/make"
PATH=$prefix/bin:$PATH PKG_CONFIG_PATH=$(dirname "$pc") make -s -C "$work/make" >/dev/null ||
  fail "the Makefile with pkg-config did not build"
echo 3 >"$work/input"
expect_sum "$("$prefix/bin/zxrun" "$work/make/sums.so" SUMS <"$work/input")" 12

if [ -n "$fortran_only" ]; then
  cp -r "$fortran_only" "$work/fortran"
  cmake -S "$work/fortran" -B "$work/fortran-build" -G "$generator" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null || fail "the Fortran-only project does not configure"
  cmake --build "$work/fortran-build" >/dev/null || fail "the Fortran-only project does not build"
  out=$(echo 4 | "$prefix/bin/zxrun" "$work/fortran-build/libstats.so" STATS)
  grep -q "TOTAL 41" <<<"$out" || fail "the free-form module printed: $out"
  if log=$(cmake --build "$work/fortran-build" --target unresolved 2>&1); then
    fail "a module calling an undefined routine linked"
  fi
  grep -qi "undefined reference to .peval_" <<<"$log" || fail "no undefined reference: $log"
  # A new library module compiles the converted sources again.
  touch "$prefix/include/zentrix/zentrix.mod"
  log=$(cmake --build "$work/fortran-build" --target stats 2>&1)
  grep -q "stats.f95" <<<"$log" || fail "a changed zentrix.mod compiled nothing: $log"
fi

cp -r "$project" "$work/src"
cmake -S "$work/src" -B "$work/build" -G "$generator" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/build" >/dev/null
expect_sum "$("$prefix/bin/zxrun" "$work/build/libsums.so" SUMS <"$work/input")" 12
printf '3\ngo\n' >"$work/console-input"
expect_sum "$("$work/build/sums_console" <"$work/console-input")" 12
expect_sum "$(mpirun --allow-run-as-root --oversubscribe -np 2 "$work/build/sums_mpi" \
  <"$work/input")" 12

# Nothing to do on a second build; an edited INCLUDE file converts again.
log=$(cmake --build "$work/build")
grep -q "Converting" <<<"$log" && fail "an unchanged project was converted again: $log"
sed -i 's/ISCALE = 2/ISCALE = 5/' "$work/src/scale.inc"
log=$(cmake --build "$work/build")
grep -q "Converting sums.f" <<<"$log" || fail "the edited INCLUDE file converted nothing: $log"
expect_sum "$("$prefix/bin/zxrun" "$work/build/libsums.so" SUMS <"$work/input")" 30

# The server: the session bus starts the installed ostrel through the
# installed service file.
[ -x "$prefix/bin/ostrel" ] || { echo "built without Qt: no server to try"; exit 0; }
[ -x "$prefix/libexec/ostrel/ostrel-worker" ] || fail "ostrel-worker is not under libexec/ostrel"
for file in share/dbus-1/interfaces/org.kvq.Ostrel.IComputationalServer.xml \
  share/man/man7/ostrel-interface.7.gz share/doc/convertor/examples/ostrel_client.py; do
  [ -e "$prefix/$file" ] || fail "$file is not installed"
done
service=$prefix/share/dbus-1/services/org.kvq.Ostrel.service
grep -qx "Exec=$prefix/bin/ostrel" "$service" || fail "service file: $(cat "$service")"
# The bus below runs without systemd: it starts Exec= although the file also
# names the systemd unit.
grep -qx "SystemdService=ostrel.service" "$service" || fail "service file: $(cat "$service")"
grep -qx "ExecStart=$prefix/bin/ostrel" "$prefix/lib/systemd/user/ostrel.service" ||
  fail "no systemd unit for the server"
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir=$work</listen>
<servicedir>$prefix/share/dbus-1/services</servicedir>
<policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
cat >"$work/session.sh" <<'SESSION'
set -euo pipefail
prefix=$1 work=$2
dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
  org.freedesktop.DBus.StartServiceByName string:org.kvq.Ostrel uint32:0 >/dev/null
"$prefix/bin/ostrel-run" "$work/build/libsums.so" "" <"$work/input" 2>"$work/ostrel-run.err"
if [ -x "$prefix/bin/kestrin" ]; then
  (cd "$work" && QT_QPA_PLATFORM=offscreen "$prefix/bin/kestrin" --run --nparams 2 --timeout 60)
fi
SESSION
out=$(dbus-run-session --config-file="$work/bus.conf" -- bash "$work/session.sh" "$prefix" "$work") ||
  fail "through the server: $out $(cat "$work/ostrel-run.err" 2>/dev/null)"
expect_sum "$out" 30
echo "installed, built out of tree ($generator), converted again, ran with zxrun and ostrel"

#!/usr/bin/env bash
# The Python client example against the real server on a private bus that
# activates the build's ostrel: console input, FCN answers, output and the
# end of the run as a user of the example sees them.
#   python-client.sh PYTHON CLIENT SERVICE_DIR FCNLOOP_MODULE
set -euo pipefail
python=$1 client=$2 services=$3 module=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir=$work</listen>
<servicedir>$services</servicedir>
<policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
CONF
cat >"$work/session.sh" <<'SESSION'
python=$1 client=$2 module=$3 work=$4
echo 3 | "$python" "$client" "$module" >"$work/out" 2>"$work/err"
echo $? >"$work/status"
"$python" "$client" /nonexistent/module.so </dev/null >"$work/missing-out" 2>"$work/missing-err"
echo $? >"$work/missing-status"
SESSION
dbus-run-session --config-file="$work/bus.conf" -- bash "$work/session.sh" "$python" "$client" \
  "$module" "$work" 2>/dev/null
# Three FCN round trips at (i, 0.5): 1.25 + 4.25 + 9.25.
[ "$(cat "$work/status")" = 0 ] || fail "status $(cat "$work/status"): $(cat "$work/err")"
[ "$(cat "$work/out")" = "total      14.750" ] || fail "output: $(cat "$work/out")"
grep -qx "End_Of_Run: finished" "$work/err" || fail "no end of run: $(cat "$work/err")"
# A module that is not there: the server's error text, status 6.
[ "$(cat "$work/missing-status")" = 6 ] || fail "missing module: $(cat "$work/missing-err")"
grep -q "^ostrel_client: cannot load /nonexistent/module.so" "$work/missing-err" ||
  fail "missing module: $(cat "$work/missing-err")"
echo "the Python client ran FCNLOOP through the server"

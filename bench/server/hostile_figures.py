#!/usr/bin/python3
"""Figures of the server under hostile modules and clients.

hostile_figures.py BIN_DIR MODULE_DIR [SCENARIO...]

Starts BIN_DIR/ostrel on a private bus of its own per scenario (with a
desktop session bus's limits) and, while a bystander client loads ECHO and
finishes it in a loop, lets one hostile module or client loose. Prints per
scenario the bystander's slowest call, the most resident memory of the
server and of the bus daemon, the server's most descriptors and workers,
and what became of the hostile run. MODULE_DIR holds the test modules
(build/tests/server/modules). Needs python3-dbus.
"""
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time

import dbus

SERVICE = "org.kvq.Ostrel"
PATH = "/org/kvq/Ostrel/ComputationalServer"
INTERFACE = "org.kvq.Ostrel.IComputationalServer"
CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir={dir}</listen>
<limit name="max_incoming_bytes">1000000000</limit>
<limit name="max_outgoing_bytes">1000000000</limit>
<limit name="max_message_size">1000000000</limit>
<policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
"""


def resident_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def descriptors(pid):
    try:
        return len(os.listdir("/proc/%d/fd" % pid))
    except OSError:
        return 0


def workers(pid):
    count = 0
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as stat:
                text = stat.read()
        except OSError:
            continue
        fields = text[text.rfind(")") + 2:].split()
        if "(ostrel-worker)" in text and int(fields[1]) == pid and fields[0] != "Z":
            count += 1
    return count


class Bus:
    def __init__(self, bin_dir):
        self.dir = tempfile.mkdtemp(prefix="ostrel-figures-")
        config = os.path.join(self.dir, "bus.conf")
        with open(config, "w") as out:
            out.write(CONFIG.format(dir=self.dir))
        self.daemon = subprocess.Popen(
            ["dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.address = self.daemon.stdout.readline().strip()
        self.env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)
        self.server = subprocess.Popen([os.path.join(bin_dir, "ostrel"), "--idle-seconds", "600"],
                                       env=self.env, stderr=subprocess.DEVNULL)
        probe = dbus.bus.BusConnection(self.address)
        while not probe.name_has_owner(SERVICE):
            time.sleep(0.05)
        probe.close()

    def connect(self):
        return dbus.bus.BusConnection(self.address)

    def close(self):
        for process in (self.server, self.daemon):
            process.kill()
            process.wait()


def call(bus, member, signature="", arguments=(), interface=INTERFACE, timeout=30):
    return bus.call_blocking(SERVICE, PATH, interface, member, signature, arguments,
                             timeout=timeout)


class Bystander(threading.Thread):
    """Loads ECHO and finishes it, again and again; notes the slowest call."""

    def __init__(self, bus, module_dir):
        super().__init__(daemon=True)
        self.connection = bus.connect()
        self.module = os.path.join(module_dir, "ECHO.so")
        self.slowest = 0.0
        self.failures = 0
        self.stop = False

    def run(self):
        while not self.stop:
            for member, signature, arguments in (("LoadDll", "ss", (self.module, "")),
                                                 ("Finish", "", ())):
                start = time.monotonic()
                try:
                    if call(self.connection, member, signature, arguments):
                        self.failures += 1  # a load's error text
                except dbus.DBusException:
                    self.failures += 1
                self.slowest = max(self.slowest, time.monotonic() - start)
            time.sleep(0.1)


def measure(bus, module_dir, seconds, hostile):
    """Runs hostile(bus) beside a bystander for seconds; returns the figures."""
    bystander = Bystander(bus, module_dir)
    bystander.start()
    figures = {"server_kb": 0, "bus_kb": 0, "fds": 0, "workers": 0}
    outcome = {}
    thread = threading.Thread(target=hostile, args=(bus, outcome), daemon=True)
    thread.start()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        figures["server_kb"] = max(figures["server_kb"], resident_kb(bus.server.pid))
        figures["bus_kb"] = max(figures["bus_kb"], resident_kb(bus.daemon.pid))
        figures["fds"] = max(figures["fds"], descriptors(bus.server.pid))
        figures["workers"] = max(figures["workers"], workers(bus.server.pid))
        time.sleep(0.25)
    bystander.stop = True
    bystander.join(35)
    figures["bystander_slowest_s"] = round(bystander.slowest, 2)
    if bystander.is_alive():
        figures["bystander_slowest_s"] = "no answer in 35 s"
    figures["bystander_failures"] = bystander.failures
    figures.update(outcome)
    return figures


def unit0_flood(bin_dir, module_dir):
    def hostile(bus, outcome):
        client = subprocess.Popen([os.path.join(bin_dir, "ostrel-run"),
                                   os.path.join(module_dir, "FLOODERR.so")], env=bus.env,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        time.sleep(20)
        client.kill()
        client.wait()
        time.sleep(5)
        outcome["workers_5s_after_client_killed"] = workers(bus.server.pid)
    return hostile, 26


def closed_socket(bin_dir, module_dir):
    def hostile(bus, outcome):
        client = bus.connect()
        call(client, "LoadDll", "ss", (os.path.join(module_dir, "CLOSER.so"), ""))
        call(client, "Continue")
        time.sleep(0.5)
        start = time.monotonic()
        call(client, "Finish")
        outcome["finish_s"] = round(time.monotonic() - start, 2)
    return hostile, 5


def load_burst(bin_dir, module_dir):
    def hostile(bus, outcome):
        client = bus.connect()
        looper = os.path.join(module_dir, "LOOPER.so")
        for _ in range(2000):
            message = dbus.lowlevel.MethodCallMessage(SERVICE, PATH, INTERFACE, "LoadDll")
            message.append(looper, "", signature="ss")
            client.send_message(message)
        client.flush()
        time.sleep(18)
        client.close()
    return hostile, 20


def silent_large_events(bin_dir, module_dir):
    def hostile(bus, outcome):
        client = bus.connect()
        call(client, "LoadDll", "ss", (os.path.join(module_dir, "BIGEVENT.so"), ""))
        call(client, "Continue")
        time.sleep(25)  # never reads
        outcome["workers_after_25s"] = workers(bus.server.pid)
    return hostile, 26


def oversized_call(bin_dir, module_dir):
    def hostile(bus, outcome):
        client = bus.connect()
        text = "/" + "x" * 70000000
        try:
            call(client, "Nothing", "s", (text,), timeout=60)
        except dbus.DBusException as error:
            outcome["oversized_answer"] = error.get_dbus_name()
        try:
            answer = call(client, "LoadDll", "ss", (text, ""), timeout=60)
            outcome["oversized_load"] = re.sub("^cannot load [^:]*: ", "", str(answer))
        except dbus.DBusException as error:
            outcome["oversized_load"] = error.get_dbus_name()
        try:
            call(client, "Ping", interface="org.freedesktop.DBus.Peer", timeout=10)
            outcome["ping_after"] = "answered"
        except dbus.DBusException as error:
            outcome["ping_after"] = error.get_dbus_name()
    return hostile, 15


def hanging_load(bin_dir, module_dir):
    def hostile(bus, outcome):
        client = bus.connect()
        start = time.monotonic()
        try:
            answer = call(client, "LoadDll", "ss", (os.path.join(module_dir, "HANGLOAD.so"), ""),
                          timeout=40)
            outcome["load_answer"] = re.sub("^cannot load [^:]*: ", "", str(answer))
        except dbus.DBusException as error:
            outcome["load_answer"] = error.get_dbus_name()
        outcome["load_s"] = round(time.monotonic() - start, 1)
        other = bus.connect()
        message = dbus.lowlevel.MethodCallMessage(SERVICE, PATH, INTERFACE, "LoadDll")
        message.append(os.path.join(module_dir, "HANGLOAD.so"), "", signature="ss")
        other.send_message(message)
        other.flush()
        time.sleep(0.5)
        try:
            call(other, "Finish")
            outcome["finish_during_load"] = "accepted"
        except dbus.DBusException as error:
            outcome["finish_during_load"] = str(error.get_dbus_message())
    return hostile, 45


SCENARIOS = {
    "unit0_flood": unit0_flood,
    "closed_socket": closed_socket,
    "load_burst": load_burst,
    "silent_large_events": silent_large_events,
    "oversized_call": oversized_call,
    "hanging_load": hanging_load,
}


def main():
    bin_dir, module_dir = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    for name in sys.argv[3:] or SCENARIOS:
        hostile, seconds = SCENARIOS[name](bin_dir, module_dir)
        bus = Bus(bin_dir)
        try:
            print(name, measure(bus, module_dir, seconds, hostile), flush=True)
        finally:
            bus.close()


if __name__ == "__main__":
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    main()

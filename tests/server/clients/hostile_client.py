#!/usr/bin/env python3
"""Clients of the computational server that misbehave, for the server tests.

hostile_client.py oversized BYTES   calls a member that does not exist and
    LoadDll, each with a string of BYTES bytes, then pings the server; prints
    one line per answer.
hostile_client.py silent MODULE     loads MODULE, starts its run, then never
    reads its connection again (no main loop runs).
"""
import re
import sys
import time

import dbus

SERVICE = "org.kvq.Ostrel"
PATH = "/org/kvq/Ostrel/ComputationalServer"
INTERFACE = "org.kvq.Ostrel.IComputationalServer"


def call(bus, member, signature, arguments, interface=INTERFACE):
    try:
        reply = bus.call_blocking(SERVICE, PATH, interface, member, signature, arguments,
                                  timeout=60)
        return "ok " + shown(str(reply))
    except dbus.DBusException as error:
        return "error %s %s" % (error.get_dbus_name(), shown(str(error.get_dbus_message())))


def shown(text):
    """The answer with a long run of the sent filler cut to three."""
    return re.sub("x{4,}", "xxx", text)


def oversized(size):
    bus = dbus.SessionBus()
    text = "/" + "x" * (size - 1)
    print("member:", call(bus, "Nothing", "s", (text,)), flush=True)
    print("load:", call(bus, "LoadDll", "ss", (text, "")), flush=True)
    print("ping:", call(bus, "Ping", "", (), "org.freedesktop.DBus.Peer"), flush=True)


def silent(module):
    bus = dbus.SessionBus()
    print("load:", call(bus, "LoadDll", "ss", (module, "")), flush=True)
    print("continue:", call(bus, "Continue", "", ()), flush=True)
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    if sys.argv[1] == "oversized":
        oversized(int(sys.argv[2]))
    else:
        silent(sys.argv[2])

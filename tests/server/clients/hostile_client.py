#!/usr/bin/env python3
"""Clients of the computational server that misbehave, for the server tests.

hostile_client.py oversized BYTES   calls a member that does not exist and
    LoadDll, each with a string of BYTES bytes, then pings the server; prints
    one line per answer.
hostile_client.py silent MODULE     loads MODULE, starts its run, then never
    reads its connection again (no main loop runs).
hostile_client.py silent-channel MODULE   the same with the run's direct
    channel opened: the channel is never read either.
hostile_client.py property          reads ElapsedTime with and without the
    interface argument; prints "elapsed: WITH WITHOUT".
hostile_client.py leavers N MODULE  N clients, one after the other, each on a
    connection of its own, that send a read of ElapsedTime (every second one
    also LoadDll MODULE and Continue) and leave the bus without waiting for
    any answer; prints "left: N".
"""
import os
import re
import sys
import time

import dbus
import dbus.lowlevel

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


def silent(module, channel=False):
    bus = dbus.SessionBus()
    print("load:", call(bus, "LoadDll", "ss", (module, "")), flush=True)
    if channel:
        held = bus.call_blocking(SERVICE, PATH, "org.kvq.Ostrel.Extensions", "OpenChannel", "",
                                 (), timeout=60).take()
        print("channel:", held >= 0, flush=True)
    print("continue:", call(bus, "Continue", "", ()), flush=True)
    while True:
        time.sleep(3600)


def read_elapsed(bus, interface):
    return bus.call_blocking(SERVICE, PATH, "org.freedesktop.DBus.Properties", "Get", "ss",
                             (interface, "ElapsedTime"), timeout=60)


def property_reader():
    bus = dbus.SessionBus()
    print("elapsed: %d %d" % (read_elapsed(bus, INTERFACE), read_elapsed(bus, "")), flush=True)


def call_without_waiting(connection, interface, member, signature="", arguments=()):
    message = dbus.lowlevel.MethodCallMessage(SERVICE, PATH, interface, member)
    if signature:
        message.append(*arguments, signature=signature)
    connection.send_message(message)


def leavers(count, module):
    address = os.environ["DBUS_SESSION_BUS_ADDRESS"]
    for i in range(count):
        connection = dbus.bus.BusConnection(address)
        call_without_waiting(connection, "org.freedesktop.DBus.Properties", "Get", "ss",
                             (INTERFACE, "ElapsedTime"))
        if i % 2 == 1:
            call_without_waiting(connection, INTERFACE, "LoadDll", "ss", (module, ""))
            call_without_waiting(connection, INTERFACE, "Continue")
        connection.flush()
        connection.close()
    print("left: %d" % count, flush=True)


if __name__ == "__main__":
    if sys.argv[1] == "oversized":
        oversized(int(sys.argv[2]))
    elif sys.argv[1] == "property":
        property_reader()
    elif sys.argv[1] == "leavers":
        leavers(int(sys.argv[2]), sys.argv[3])
    else:
        silent(sys.argv[2], sys.argv[1] == "silent-channel")

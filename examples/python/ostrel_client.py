#!/usr/bin/python3
"""A client of the computational server ostrel in Python (python3-dbus and
python3-gi, both Debian packages): loads a converted module, starts its run,
answers its console reads from standard input and its FCN requests with a
function of its own, prints what the module writes, and exits with a status
that says how the run ended.

    ostrel_client.py MODULE [PARAMETER-LINE]

The calls in order: LoadDll (which only loads), Continue (which starts the
run), then GiveLine at every "Give_Line" event until "End_Of_Run". An "FCN"
event carries a count n and n values; the function's value goes back as the
answer to the next "Give_Line", as Kestrin answers it.
"""
import os
import sys

import dbus
import dbus.mainloop.glib
from gi.repository import GLib

SERVICE = "org.kvq.Ostrel"
OBJECT = "/org/kvq/Ostrel/ComputationalServer"
INTERFACE = "org.kvq.Ostrel.IComputationalServer"

# The beginning of the End_Of_Run value, and the exit status for it.
END_STATUS = [("finished", 0), ("stopped", 0), ("I/O error", 3), ("end of input", 4),
              ("not started", 5), ("killed by Finish", 7), ("crashed", 8), ("exited", 9)]


def fcn(values):
    """The function the module minimises: here the sum of squares."""
    return sum(x * x for x in values)


class Run:
    def __init__(self, server, loop):
        self.server = server
        self.loop = loop
        self.pending_answer = None  # the FCN value for the next Give_Line
        self.status = 1

    def on_event(self, name, value):
        name, value = str(name), str(value)
        if name == "Give_Line":
            self.give_line()
        elif name == "FCN":
            count, *values = value.split()
            self.pending_answer = repr(fcn(float(v) for v in values[: int(count)]))
        elif name == "Output":
            print(value, flush=True)
        else:
            print(f"{name}: {value}", file=sys.stderr, flush=True)
            if name == "End_Of_Run":
                self.status = next((s for text, s in END_STATUS if value.startswith(text)), 1)
                self.loop.quit()

    def give_line(self):
        if self.pending_answer is not None:
            answer, self.pending_answer = self.pending_answer, None
            self.server.GiveLine(answer)
            return
        line = sys.stdin.readline()
        if line:
            self.server.GiveLine(line.rstrip("\r\n"))
        else:
            self.server.GiveEndOfInput()  # the end of the module's input


def main():
    if len(sys.argv) not in (2, 3) or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    module = os.path.abspath(sys.argv[1])
    parameter_line = sys.argv[2] if len(sys.argv) == 3 else ""

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    # The bus starts the server through its service file when none runs.
    server = dbus.Interface(bus.get_object(SERVICE, OBJECT), INTERFACE)
    loop = GLib.MainLoop()
    run = Run(server, loop)
    # Events are signals sent to this client alone.
    bus.add_signal_receiver(run.on_event, signal_name="OnEvent", dbus_interface=INTERFACE,
                            bus_name=SERVICE, path=OBJECT)
    error = server.LoadDll(module, parameter_line)
    if error:
        print(f"ostrel_client: {error}", file=sys.stderr)
        return 6
    server.Continue()
    loop.run()
    return run.status


if __name__ == "__main__":
    try:
        sys.exit(main())
    except dbus.exceptions.DBusException as error:
        print(f"ostrel_client: {error.get_dbus_name()}: {error.get_dbus_message()}",
              file=sys.stderr)
        sys.exit(1)

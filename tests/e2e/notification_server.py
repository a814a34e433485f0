#!/usr/bin/python3
# A stand-in for the desktop's notification service on a test session bus: owns
# org.freedesktop.Notifications and appends each Notify call to LOG, one line of tab-separated
# app name, icon, summary and body; writes READY once the name is its own. With "markup" it
# says it reads bodies as markup.
#   notification_server.py LOG READY [markup]
import sys

from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.freedesktop.Notifications">
 <method name="Notify">
  <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
  <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
  <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
  <arg type="u" direction="out"/>
 </method>
 <method name="GetCapabilities"><arg type="as" direction="out"/></method>
</interface></node>"""

log_path, ready_path = sys.argv[1], sys.argv[2]
loop = GLib.MainLoop()


def on_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "Notify":
        app, _, icon, summary, body = parameters.unpack()[:5]
        with open(log_path, "a", encoding="utf-8") as log:
            log.write(f"{app}\t{icon}\t{summary}\t{body}\n")
        invocation.return_value(GLib.Variant("(u)", (1,)))
    else:
        capabilities = ["body"] + (["body-markup"] if sys.argv[3:] == ["markup"] else [])
        invocation.return_value(GLib.Variant("(as)", (capabilities,)))


def on_bus(connection, name):
    info = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
    connection.register_object("/org/freedesktop/Notifications", info, on_call, None, None)


def on_name(connection, name):
    open(ready_path, "w").close()


Gio.bus_own_name(Gio.BusType.SESSION, "org.freedesktop.Notifications",
                 Gio.BusNameOwnerFlags.NONE, on_bus, on_name, lambda *_: loop.quit())
loop.run()

#!/usr/bin/python3
# A StatusNotifierWatcher with a host (the desktop test) behind it, as a panel runs one on the session bus.
import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"


class Watcher(dbus.service.Object):
    items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender):
        self.items.append(sender if service.startswith("/") else service)

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": True}[name]

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):  # Qt reads the properties only from what the object says it has
        return f"""<node><interface name="{WATCHER}"><method name="RegisterStatusNotifierItem"><arg type="s"/></method>
            <property name="RegisteredStatusNotifierItems" type="as" access="read"/><property type="b" access="read"
            name="IsStatusNotifierHostRegistered"/></interface></node>"""


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
watcher = Watcher(bus, "/StatusNotifierWatcher")
name = dbus.service.BusName(WATCHER, bus)
print("ready", flush=True)
GLib.MainLoop().run()

#!/usr/bin/python3
"""Plays GNOME Calendar against the session's Evolution Data Server (for tests and benchmarks).

    gnome-calendar.py COMMAND [ARGUMENT...] [-- COMMAND ...]

Commands:
    add-account UID TITLE                   an account (a source of its own) calendars may go under
    add-calendar UID TITLE [PARENT [COLOR]]   a local calendar (PARENT: account, default local-stub)
    set-calendar UID KEY VALUE              KEY: title, color, enabled (true/false)
    remove-calendar UID
    add-identity UID ADDRESS                a mail identity: the owner's address
    add-event CALENDAR VEVENT               VEVENT lines ("\\n" between them); with RECURRENCE-ID an
                                            occurrence of the series is changed apart
    add-events CALENDAR FILE                every VEVENT of the file at once
    modify-event CALENDAR VEVENT            the whole series (or the occurrence of its RECURRENCE-ID)
    remove-event CALENDAR UID [RID]         the whole event, or one occurrence
"""
import sys

import gi

gi.require_version("ECal", "2.0")
gi.require_version("EDataServer", "1.2")
gi.require_version("ICalGLib", "3.0")
from gi.repository import ECal, EDataServer, GLib, ICalGLib  # noqa: E402

registry = EDataServer.SourceRegistry.new_sync(None)
clients = {}


def wait_until(condition, seconds=10):
    context = GLib.MainContext.default()
    deadline = GLib.get_monotonic_time() + seconds * 1000000
    while not condition():
        if GLib.get_monotonic_time() > deadline:
            raise SystemExit("gnome-calendar.py: timed out")
        context.iteration(False)
        GLib.usleep(5000)


def commit(source):
    # Created as key files of the registry's own, also under an account: nothing remote is made.
    registry.create_sources_sync([source], None)
    wait_until(lambda: registry.ref_source(source.get_uid()) is not None)


def client(uid):
    if uid not in clients:
        source = registry.ref_source(uid)
        if source is None:
            raise SystemExit("gnome-calendar.py: no calendar " + uid)
        clients[uid] = ECal.Client.connect_sync(source, ECal.ClientSourceType.EVENTS, 4294967295, None)
    return clients[uid]


def component(text):
    text = text.replace("\\n", "\n").strip()
    if not text.startswith("BEGIN:VEVENT"):
        text = "BEGIN:VEVENT\n" + text + "\nEND:VEVENT"
    return ICalGLib.Component.new_from_string(text)


def add_account(uid, title):
    source = EDataServer.Source.new_with_uid(uid, None)
    source.set_display_name(title)
    commit(source)


def add_calendar(uid, title, parent="local-stub", color=None):
    source = EDataServer.Source.new_with_uid(uid, None)
    source.set_display_name(title)
    source.set_parent(parent)
    extension = source.get_extension(EDataServer.SOURCE_EXTENSION_CALENDAR)
    extension.set_backend_name("local")
    if color:
        extension.set_color(color)
    commit(source)


def set_calendar(uid, key, value):
    source = registry.ref_source(uid)
    if key == "title":
        source.set_display_name(value)
    elif key == "color":
        source.get_extension(EDataServer.SOURCE_EXTENSION_CALENDAR).set_color(value)
    elif key == "enabled":
        source.set_enabled(value == "true")
    source.write_sync(None)


def remove_calendar(uid):
    registry.ref_source(uid).remove_sync(None)
    wait_until(lambda: registry.ref_source(uid) is None)


def add_identity(uid, address):
    source = EDataServer.Source.new_with_uid(uid, None)
    source.set_display_name(address)
    source.get_extension(EDataServer.SOURCE_EXTENSION_MAIL_IDENTITY).set_address(address)
    commit(source)


def add_event(calendar, text):
    event = component(text)
    if event.get_first_property(ICalGLib.PropertyKind.RECURRENCEID_PROPERTY) is not None:
        client(calendar).modify_object_sync(event, ECal.ObjModType.THIS, ECal.OperationFlags.NONE, None)
    else:
        client(calendar).create_object_sync(event, ECal.OperationFlags.NONE, None)


def add_events(calendar, path):
    with open(path) as file:
        parsed = ICalGLib.Component.new_from_string(file.read())
    events = []
    event = parsed.get_first_component(ICalGLib.ComponentKind.VEVENT_COMPONENT)
    while event is not None:
        events.append(event.clone())
        event = parsed.get_next_component(ICalGLib.ComponentKind.VEVENT_COMPONENT)
    client(calendar).create_objects_sync(events, ECal.OperationFlags.NONE, None)


def modify_event(calendar, text):
    event = component(text)
    whole = event.get_first_property(ICalGLib.PropertyKind.RECURRENCEID_PROPERTY) is None
    mod = ECal.ObjModType.ALL if whole else ECal.ObjModType.THIS
    client(calendar).modify_object_sync(event, mod, ECal.OperationFlags.NONE, None)


def remove_event(calendar, uid, rid=None):
    mod = ECal.ObjModType.THIS if rid else ECal.ObjModType.ALL
    client(calendar).remove_object_sync(uid, rid, mod, ECal.OperationFlags.NONE, None)


COMMANDS = {
    "add-account": add_account,
    "add-calendar": add_calendar,
    "set-calendar": set_calendar,
    "remove-calendar": remove_calendar,
    "add-identity": add_identity,
    "add-event": add_event,
    "add-events": add_events,
    "modify-event": modify_event,
    "remove-event": remove_event,
}


def main(arguments):
    commands, current = [], []
    for argument in arguments:
        if argument == "--":
            commands.append(current)
            current = []
        else:
            current.append(argument)
    commands.append(current)
    for command in commands:
        if not command or command[0] not in COMMANDS:
            raise SystemExit(__doc__)
        COMMANDS[command[0]](*command[1:])


if __name__ == "__main__":
    main(sys.argv[1:])

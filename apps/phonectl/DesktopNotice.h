#pragma once

#include <string>

// A one-off desktop notification from a command started from the desktop (a launcher), where
// nobody reads the error stream: org.freedesktop.Notifications on the session bus, shown as
// Hushline's. False when there is no session bus or nothing there shows notifications.
bool notifyDesktop(const std::string& summary, const std::string& body);

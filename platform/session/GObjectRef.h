#pragma once

#include <glib-object.h>
#include <memory>

// A reference to a GObject (GSettings, GDBusConnection, ...) given back when the pointer goes.
struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

template<class T>
using GObjectRef = std::unique_ptr<T, GObjectUnref>;

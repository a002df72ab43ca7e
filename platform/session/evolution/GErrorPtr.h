#pragma once

#include <glib.h>
#include <memory>

// A GError given back when the pointer goes; pass `out()` where GLib fills one in.
class GErrorPtr {
public:
    GError** out() { return &m_error; }
    GError* get() const { return m_error; }
    explicit operator bool() const { return m_error != nullptr; }
    const char* message() const { return m_error ? m_error->message : ""; }
    bool isCancelled() const { return m_error && g_error_matches(m_error, G_IO_ERROR, G_IO_ERROR_CANCELLED); }

    GErrorPtr() = default;
    ~GErrorPtr() { g_clear_error(&m_error); }
    GErrorPtr(const GErrorPtr&) = delete;
    GErrorPtr& operator=(const GErrorPtr&) = delete;

private:
    GError* m_error { nullptr };
};

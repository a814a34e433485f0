// Load failures as freedesktop notifications, sent over the session bus with GIO. Linux only:
// it is no part of the viewer's Windows code, and the Windows build leaves it out.
#include "app/desktop_notice.h"
#include "scene/mesh_model.h"

#include <gio/gio.h>
#include <unistd.h>

namespace {

const char kService[] = "org.freedesktop.Notifications";
const char kPath[] = "/org/freedesktop/Notifications";

// Whether the service reads a body as markup, in which a file name's '<' or '&' must be
// escaped (and elsewhere must not be). Asked once, waiting at most a second.
bool ReadsMarkup(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(bus, kService, kPath, kService, "GetCapabilities",
                                                  nullptr, G_VARIANT_TYPE("(as)"),
                                                  G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr);
    if (!reply) return false;
    const gchar** capabilities = nullptr;
    g_variant_get(reply, "(^a&s)", &capabilities);
    const bool markup = capabilities && g_strv_contains(capabilities, "body-markup");
    g_free(capabilities);
    g_variant_unref(reply);
    return markup;
}

// The notice is sent without waiting for its reply, so a slow service never holds up the
// window. With no session bus there is nothing to send to; standard error has said it anyway.
void NotifyLoadFailure(const char* message) {
    static GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return;
    static const bool markup = ReadsMarkup(bus);
    gchar* body = markup ? g_markup_escape_text(message, -1) : g_strdup(message);
    g_dbus_connection_call(bus, kService, kPath, kService, "Notify",
                           g_variant_new("(susss@as@a{sv}i)", "xofview", 0u, "xofview",
                                         "xofview: the model could not be loaded", body,
                                         g_variant_new_strv(nullptr, 0),
                                         g_variant_new("a{sv}", nullptr), -1),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    g_free(body);
}

} // namespace

void NotifyLoadFailuresWithoutTerminal() {
    if (!isatty(STDERR_FILENO)) SetLoadFailureListener(NotifyLoadFailure);
}

/* The plug-in: the ahxdec element and a type finder for each format. */
#include <gst/gst.h>

#include "ahxdec.h"
#include "typefind.h"

static gboolean plugin_init(GstPlugin* plugin) {
    return gst_ahx_dec_register(plugin) && ahx_typefind_register(plugin);
}

#define PACKAGE "ahx"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, ahx, "Plays AHX and HivelyTracker modules", plugin_init,
                  AHX_GST_VERSION, "unknown", "ahx", "Unknown package origin")

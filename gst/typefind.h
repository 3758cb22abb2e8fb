#pragma once
/* Type finders for AHX ("THX") and HVL modules: audio/x-ahx and audio/x-hvl. */
#include <gst/gst.h>

gboolean ahx_typefind_register(GstPlugin* plugin);

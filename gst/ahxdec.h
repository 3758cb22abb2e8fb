#pragma once
/* ahxdec: decodes a whole AHX or HVL module into interleaved stereo S16LE or F32LE. */
#include <gst/gst.h>

gboolean gst_ahx_dec_register(GstPlugin* plugin);

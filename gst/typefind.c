/* Modules are recognised by their header: the three-letter magic and a version byte the library
 * plays. A type finder sees bytes only, never the file name, so names such as "thx.song" are found
 * by content like any other; the extensions merely let GStreamer try these finders first. */
#include "typefind.h"

#include <ahx/ahx.h>

/* The magic and the version byte. */
#define SIGNATURE_BYTES 4
/* More than either format's fixed header. */
#define HEADER_PEEK_BYTES 64

static GstStaticCaps ahx_caps = GST_STATIC_CAPS("audio/x-ahx");
static GstStaticCaps hvl_caps = GST_STATIC_CAPS("audio/x-hvl");

/* The format the signature names when the library plays its version, else AHX_FORMAT_UNKNOWN.
 * Four bytes are too few for the rest of the header, so a truncation result still counts. */
static ahx_format SignatureFormat(const guint8* bytes) {
    ahx_probe_info info;
    const ahx_result result = ahx_probe(bytes, SIGNATURE_BYTES, &info);
    if (result == AHX_ERROR_NOT_A_MODULE || result == AHX_ERROR_UNSUPPORTED_VERSION) return AHX_FORMAT_UNKNOWN;
    return info.format;
}

static void FindModule(GstTypeFind* find, gpointer format) {
    const guint8* signature = gst_type_find_peek(find, 0, SIGNATURE_BYTES);
    if (signature == NULL || SignatureFormat(signature) != (ahx_format)GPOINTER_TO_INT(format)) return;
    /* Four bytes are a short signature: a header within the format's limits makes it certain. A
     * damaged header stays likely, so that the decoder gets to say what is wrong with it. */
    const guint64 length = gst_type_find_get_length(find);
    const guint peek = length >= SIGNATURE_BYTES && length < HEADER_PEEK_BYTES ? (guint)length : HEADER_PEEK_BYTES;
    const guint8* header = gst_type_find_peek(find, 0, peek);
    const gboolean sound = header != NULL && ahx_probe(header, peek, NULL) == AHX_OK;
    GstStaticCaps* caps = GPOINTER_TO_INT(format) == AHX_FORMAT_AHX ? &ahx_caps : &hvl_caps;
    gst_type_find_suggest(find, sound ? GST_TYPE_FIND_MAXIMUM : GST_TYPE_FIND_LIKELY, gst_static_caps_get(caps));
}

gboolean ahx_typefind_register(GstPlugin* plugin) {
    return gst_type_find_register(plugin, "audio/x-ahx", GST_RANK_PRIMARY, FindModule, "ahx,thx",
                                  gst_static_caps_get(&ahx_caps), GINT_TO_POINTER(AHX_FORMAT_AHX), NULL) &&
           gst_type_find_register(plugin, "audio/x-hvl", GST_RANK_PRIMARY, FindModule, "hvl",
                                  gst_static_caps_get(&hvl_caps), GINT_TO_POINTER(AHX_FORMAT_HVL), NULL);
}

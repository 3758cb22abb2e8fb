#include "module_tags.h"

#include <string.h>

/* Module texts are 8-bit; each byte is taken as the code point of the same value. */
static gchar* TextOf(const char* stored) {
    GString* text = g_string_new(NULL);
    for (const unsigned char* byte = (const unsigned char*)stored; *byte != 0; ++byte) {
        g_string_append_unichar(text, *byte);
    }
    return g_string_free(text, FALSE);
}

/* One line per instrument in their order, so a line's number is the instrument's; empty names at
 * the end are left out, and NULL when every name is empty. */
static gchar* InstrumentNames(const ahx_player* player) {
    const ahx_info* info = ahx_get_info(player);
    GString* lines = g_string_new(NULL);
    gsize named_length = 0;
    for (uint32_t i = 1; i <= info->instruments; ++i) {
        gchar* name = TextOf(ahx_instrument_name(player, i));
        if (i > 1) g_string_append_c(lines, '\n');
        g_string_append(lines, name);
        if (name[0] != '\0') named_length = lines->len;
        g_free(name);
    }
    g_string_truncate(lines, named_length);
    return g_string_free(lines, named_length == 0);
}

GstTagList* ahx_module_tags(const ahx_player* player) {
    const ahx_info* info = ahx_get_info(player);
    const gboolean ahx = info->format == AHX_FORMAT_AHX;
    GstTagList* tags = gst_tag_list_new_empty();
    gchar* title = TextOf(info->title);
    if (title[0] != '\0') gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, title, NULL);
    g_free(title);
    gchar* codec = g_strdup_printf(ahx ? "AHX revision %u" : "HVL version %u", info->version);
    gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_CONTAINER_FORMAT, ahx ? "AHX module" : "HVL module",
                     GST_TAG_AUDIO_CODEC, codec, GST_TAG_TRACK_COUNT, info->subsongs + 1, NULL);
    g_free(codec);
    gchar* names = InstrumentNames(player);
    if (names != NULL) gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_COMMENT, names, NULL);
    g_free(names);
    return tags;
}

/* The main song goes by the module's title, the others add their number: "Title (song 2)". */
static gchar* SongTitle(const ahx_player* player, guint song) {
    gchar* title = TextOf(ahx_get_info(player)->title);
    if (title[0] == '\0') {
        g_free(title);
        return g_strdup_printf("Song %u", song);
    }
    if (song == 0) return title;
    gchar* numbered = g_strdup_printf("%s (song %u)", title, song);
    g_free(title);
    return numbered;
}

GstTagList* ahx_song_tags(const ahx_player* player, guint song, GstClockTime duration) {
    gchar* title = SongTitle(player, song);
    GstTagList* tags = gst_tag_list_new(GST_TAG_TITLE, title, GST_TAG_TRACK_NUMBER, song + 1, GST_TAG_TRACK_COUNT,
                                        ahx_get_info(player)->subsongs + 1, NULL);
    g_free(title);
    if (GST_CLOCK_TIME_IS_VALID(duration)) gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_DURATION, duration, NULL);
    return tags;
}

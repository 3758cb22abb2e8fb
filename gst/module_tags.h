#pragma once
/* What GStreamer shows of a module: tags for the module as a whole and for each of its songs. */
#include <ahx/ahx.h>
#include <gst/gst.h>

/* Title, format, the number of songs and the instrument names (as the comment). */
GstTagList* ahx_module_tags(const ahx_player* player);
/* Song `song` (0 the main song): its title, its number counted from 1 among all songs, its duration. */
GstTagList* ahx_song_tags(const ahx_player* player, guint song, GstClockTime duration);

#pragma once
// The --help texts.
#include <cstdint>
#include <string_view>

#include "ahx/ahx.h"

inline constexpr std::string_view kToolHelp = R"(Usage: ahx COMMAND [OPTION...] [FILE...]
       ahx FILE... [OPTION...]       (the same as ahx play FILE...)

Plays AHX (THX) and HivelyTracker (HVL) modules through the sound card
or into audio files, and describes them.

Commands:
  play [FILE...]     listen through the sound card, with a player view on
                     a terminal
  render [FILE...]   render songs to WAV, FLAC, Ogg Vorbis, Opus, MP3,
                     AIFF or raw PCM (no FILE: the bundled demo song)
  info FILE...       show what a module holds and how long its songs play
  check FILE...      report what in a module is damaged or will not play
                     as written

A FILE may be a module named song.hvl, song.ahx, song.thx or, as
collections name them, hvl.song, ahx.song, thx.song (in any case); a
folder, for every module under it (in the byte order of their paths);
or - for standard input.

Options:
  -h, --help         show this help; `ahx COMMAND --help` explains a
                     command
  --version          show the version

Exit status: 0 success, 1 usage error, 2 a file could not be read or
written (for check: or the module is refused), 3 check found something
in a module it could read.
)";

inline constexpr std::string_view kRenderHelp = R"(Usage: ahx render [FILE...] [OPTION...]

Renders each FILE (a module, a folder of them, or - for standard input)
to 16-bit stereo audio. Without FILE it renders the demo song built into
the tool. Outputs are named after the inputs (song.hvl and hvl.song ->
song.wav) and written to the current folder unless -o says otherwise;
the modules found under a folder keep their subfolders below -o DIR/.
When two inputs would get one name (music1.hvl, music1.ahx), the later
ones in the order given get -2, -3, ... (music1.wav, music1-2.wav).

Options:
  -o, --output OUT   the output file; a folder for several outputs
                     (created when missing); - for standard output: raw
                     signed 16-bit little-endian samples, or with
                     --format the whole file once it is complete
  --song N|all       song to render: 1 is the main song (default), 2 on
                     the subsongs; all renders every song, one output
                     each (NAME-songN.wav; with -o NAME.EXT for one
                     module, NAME-songN.EXT)
  --seconds S        render exactly S seconds (decimals or m:ss.cc, above
                     0) instead of the song's length
  --loops N          play until the song has repeated N times (default
                     1: once through)
  --start S          begin S seconds (or m:ss.cc) into the song, exactly
                     where a whole render would be; the length still
                     counts from the song's start unless --seconds is
                     given
  --fade S           fade out over the last S seconds (default 0: the
                     output stays bit-exact)
  --mute LIST        silence channels, numbered from 1: a list like
                     1,3-5
  --solo LIST        hear only these channels (with --mute too: these,
                     less the muted ones)
  --stems            one file per channel instead of the mix (NAME-chN,
                     NAME-songM-chN with --song all), each that channel
                     alone through the same panning, volume, mix gain
                     and clipping; muted channels are written as
                     silence. Each stem is rounded and clipped on its
                     own, so the stems add up to the mix only within a
                     few steps per channel, and not where the mix clips
  --separation P     stereo width in percent: 0 mono, 100 the module's
                     own panning (default, output unchanged), up to 200
                     wider. Each frame becomes
                       left'  = (left * (100 + P) + right * (100 - P))
                                / 200
                       right' = (right * (100 + P) + left * (100 - P))
                                / 200
                     rounded to the nearest whole number (halves away
                     from zero) and clipped to 16 bits
  --rate HZ          output sample rate, 8000 to 192000 (default 44100;
                     48000 for Opus, which cannot encode 44100)
  --stereo M         stereo mode 0 (mono) to 4 (hard left/right) for AHX
                     modules (default 2: apart, as their machine played
                     them); 0 gives exactly the plug-in's output. HVL
                     modules carry their own and ignore it
  --format F         wav, flac, ogg (Ogg Vorbis), opus, mp3, aiff or raw;
                     by default taken from the output name (.wav .flac
                     .ogg .oga .opus .mp3 .aiff .aif .raw), else wav.
                     Ogg, Opus, MP3 and AIFF need a libsndfile that can
                     write them; the tool says so when it cannot
  --quality Q        0 (smallest) to 10 (best) for ogg, opus and mp3,
                     default 5: libsndfile's encoding quality Q / 10,
                     the same for each (mp3 at an average bitrate, the
                     others variable). The demo song at 0, 5 and 10
                     takes about: ogg 63, 155, 480 kbit/s; opus 11,
                     264, 513 kbit/s; mp3 39, 222, 319 kbit/s
  --replaygain       tag each output with its ReplayGain 2.0 track gain
                     (to -18 LUFS) and true peak, measured while
                     rendering (FLAC only: the other formats' writer
                     takes no such tags)
  -j, --jobs N       render N files (or one file's songs) at once
                     (default: one per usable core); outputs and
                     messages are the same, in input order
  --force            overwrite existing output files
  -h, --help         show this help

A song's length is the time until playback comes back to a step it has
already played, or until it stops for good on a tempo of 0. Lengths are
capped at 10 minutes unless --seconds asks for more.

Files that hold text tags get the module's title (control characters
shown as ?), the software (ahx and its version) and a comment naming the
format and the song ("HVL version 1, song 2 of 3"; stems add the
channel).

Examples:
  ahx render song.hvl                    writes song.wav
  ahx render song.ahx -o song.flac --loops 2 --fade 5
  ahx render collection/ -o converted/   one WAV per module
  ahx render song.hvl --song all         song-song1.wav, song-song2.wav
  ahx render song.hvl --stems -o stems/  stems/song-ch1.wav, ...
  ahx render song.hvl --solo 1,2 --start 0:30 --seconds 10 -o part.ogg
  ahx render song.ahx --stereo 4 --separation 60 -o song.mp3
  ahx render song.hvl -o - | aplay -f cd
  ahx render song.hvl -o - --format flac > song.flac
)";

inline constexpr std::string_view kInfoHelp = R"(Usage: ahx info [--json] [--loudness] [-j N] FILE...

Shows each module's format and version, title, channels, positions and
restart position, track length, tracks, instruments with their names,
songs with their start positions, replay speed, stereo mode, mix gain,
and for each song how long it plays as `ahx render` measures it (at
44100 Hz), how it goes on and which channels play at least one note
before then ("channelsUsed", numbered from 1). A song loops for ever
from a step it has played, ends stuck on a step with tempo 0 (its
length ends there), or does neither within 10 minutes (it shows 10:00,
and "ends":false in JSON); "end" in JSON is loops, stops or cut, with
"endPosition" and "endRow". Songs count from 1, as in --song.

Options:
  --json             one JSON object per file, one per line, for
                     scripts; a file that cannot be read gives
                     {"file":..., "result":"unreadable", "reason":...}
  --loudness         each song's integrated loudness (LUFS), loudness
                     range (LU) and true peak (dBTP) after EBU R128, as
                     `ahx render` writes the song by default
                     ("loudnessLufs", "loudnessRangeLu", "truePeakDbtp";
                     null for silence)
  -j, --jobs N       read N files at once (default: one per usable core)
  -h, --help         show this help
)";

inline constexpr std::string_view kCheckHelp = R"(Usage: ahx check [--json] [--all] [-j N] FILE...

Reads each module as the player does and reports, one line each with
its place (file section, byte offset, and position, row, channel,
track, instrument or song where they apply), everything it accepts only
by mending and everything that will not play as the author may have
meant:
  restart position or subsong start beyond the positions, a stereo mode
  above 4, wave lengths above 5, performance-list waveforms above 4,
  positions naming tracks the file does not store, steps naming
  instruments that are not defined, notes above 60, position jumps
  beyond the positions, a tempo of 0 (the song stops there for good), a
  song that never comes back to a played step within 10 minutes, names
  running into the end of the file or longer than 127 bytes, a name
  table that ends early, and bytes after the last section.
A module the player refuses is reported with the reason (not a module,
unsupported version, truncated, beyond a limit) and the place.
Positions, rows and tracks count from 0; songs and channels from 1, as
in `ahx render --song` and `--mute`; instruments from 1. After a module
with findings comes a count of each kind.

Options:
  --all              every finding; without it, after the first 3 of a
                     kind one line says how many more there are
  --json             one JSON object per file, one per line: file,
                     result (clean, findings or unreadable), the reason
                     when unreadable, and every finding, each with kind,
                     section, its place, the value found and a message
  -j, --jobs N       check N files at once (default: one per usable
                     core)
  -h, --help         show this help

Exit status:
  0  every file is clean
  1  usage error
  2  a file could not be read, or the player refuses it (whatever the
     other files hold)
  3  every file could be read, and at least one has findings
)";

inline constexpr std::string_view kPlayHelp = R"(Usage: ahx play [FILE...] [OPTION...]

Plays each FILE (a module, a folder of them, or - for standard input)
through the sound card, one after the other, each song for its length
as `ahx render` measures it. Without FILE it plays the demo song built
into the tool. On a terminal it shows the song, level meters and the
pattern as it plays; otherwise (and with --quiet) it shows at most one
status line on stderr.

Options:
  --song N|all       song to play: 1 is the main song (default), 2 on
                     the subsongs; all plays every song of each file
  --seconds S        play each song for S seconds (decimals or m:ss.cc,
                     above 0) instead of its length
  --loops N          play until the song has repeated N times (default
                     1: once through)
  --start S          begin S seconds (or m:ss.cc) into each song; the
                     length still counts from its start unless
                     --seconds is given
  --stereo M         stereo mode 0 (mono) to 4 (hard left/right) for AHX
                     modules (default 2); HVL modules carry their own
  --separation P     stereo width in percent: 0 mono, 100 unchanged
                     (default), up to 200 wider, as in `ahx render`
  --mute LIST        channels not to hear, numbered from 1: 2 or 1,3-5
  --solo LIST        the only channels to hear (--mute takes channels
                     away from them)
  --driver NAME      the SDL audio driver to use: pulseaudio, pipewire,
                     alsa, jack, disk, ...
  --buffer MS        the sound device's buffer in milliseconds, 5 to
                     1000 (default 100): a longer one plays on through
                     a busier machine; a key takes about that long to
                     be heard
  --normalise        play every song at the same loudness (-18 LUFS
                     integrated, EBU R128), measured once through
                     before it starts
  -q, --quiet        no player view and no status line
  -h, --help         show this help

Keys on the player view:
  space              pause / resume
  left, right        5 seconds back / on (exact)
  down, up           30 seconds back / on
  p, n               previous / next file (on the last, it plays on,
                     as > does)
  <, >               previous / next song of the file
  1-9, 0             mute / unmute channel 1-9, 10
  + then 1-6         mute / unmute channel 11-16
  s then a channel   solo that channel (s 3, s 0, s + 2); again: hear
                     all channels
  l                  loop the song on / off: it repeats instead of
                     ending
  ?, h               all keys
  q                  quit (so do Ctrl-C and SIGTERM; the terminal is
                     always restored)

The sound goes out at the rate the device takes, rendered at that rate:
nothing is resampled. NO_COLOR turns colours off. Positions and steps
count from 0, as in `ahx info`.

Exit status: 0 success, 1 usage error, 2 no audio output or a file
could not be played (the others still play), 130 stopped by Ctrl-C or
SIGTERM.

Examples:
  ahx play song.hvl
  ahx song.hvl hvl.other collection/
  ahx play *.hvl *.ahx --song all
  ahx play song.ahx --start 30 --solo 1,2
  ahx render song.hvl -o - | aplay -f cd   without a sound server
)";

// Whether text holds lead followed by number (and no further digit): the help states the
// library's numbers, and the build stops when one of them changes without it.
constexpr bool StatesNumber(std::string_view text, std::string_view lead, uint64_t number) {
    char digits[20] = {};
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    for (size_t at = text.find(lead); at != std::string_view::npos; at = text.find(lead, at + 1)) {
        size_t i = at + lead.size();
        int left = count;
        while (left > 0 && i < text.size() && text[i] == digits[left - 1]) ++i, --left;
        if (left == 0 && (i == text.size() || text[i] < '0' || text[i] > '9')) return true;
    }
    return false;
}
static_assert(StatesNumber(kRenderHelp, "output sample rate, ", AHX_LOWEST_SAMPLE_RATE) &&
              StatesNumber(kRenderHelp, " to ", AHX_HIGHEST_SAMPLE_RATE) &&
              StatesNumber(kRenderHelp, "(default ", AHX_DEFAULT_SAMPLE_RATE) &&
              StatesNumber(kInfoHelp, "(at\n", AHX_DEFAULT_SAMPLE_RATE));
static_assert(StatesNumber(kRenderHelp, "capped at ", AHX_LENGTH_CAP_SECONDS / 60) &&
              StatesNumber(kInfoHelp, "within ", AHX_LENGTH_CAP_SECONDS / 60) &&
              StatesNumber(kCheckHelp, "within ", AHX_LENGTH_CAP_SECONDS / 60));
static_assert(StatesNumber(kPlayHelp, "(mono) to ", AHX_HIGHEST_STEREO_MODE) &&
              StatesNumber(kPlayHelp, "AHX\n                     modules (default ", AHX_LISTENING_STEREO_MODE) &&
              StatesNumber(kRenderHelp, "AHX\n                     modules (default ", AHX_LISTENING_STEREO_MODE));

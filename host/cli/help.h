#pragma once
// The --help texts.
#include <string_view>

inline constexpr std::string_view kToolHelp = R"(Usage: ahx COMMAND [OPTION...] [FILE...]

Plays AHX (THX) and HivelyTracker (HVL) modules through the sound card or into audio files, and
describes them.

Commands:
  play [FILE...]     listen through the sound card, with a player view on a terminal
  render [FILE...]   render songs to WAV, FLAC or raw PCM (no FILE: the bundled demo song)
  info FILE...       show what a module holds and how long its songs play

Options:
  -h, --help         show this help; `ahx COMMAND --help` explains a command
  --version          show the version

Exit status: 0 success, 1 usage error, 2 a file could not be read or written.
)";

inline constexpr std::string_view kRenderHelp = R"(Usage: ahx render [FILE...] [OPTION...]

Renders each FILE (an AHX or HVL module) to 16-bit stereo audio. Without FILE it renders the
demo song built into the tool. Outputs are named after the inputs (song.hvl -> song.wav) and
written to the current folder unless -o says otherwise.

Options:
  -o, --output OUT   the output file; a folder for several outputs (created when missing);
                     - writes raw signed 16-bit little-endian samples to standard output
  --song N|all       song to render: 0 is the main song (default), 1 to n the subsongs;
                     all renders every song, one output each (NAME-songN.wav)
  --seconds S        render exactly S seconds (decimals allowed) instead of the song's length
  --loops N          play until the song has repeated N times (default 1: once through)
  --fade S           fade out over the last S seconds (default 0: the output stays bit-exact)
  --rate HZ          output sample rate, 8000 to 192000 (default 44100)
  --stereo M         stereo mode 0 (mono) to 4 (hard left/right) for AHX modules (default 0);
                     HVL modules carry their own and ignore it
  --format F         wav, flac or raw; by default taken from the output name, else wav
  --force            overwrite existing output files
  -h, --help         show this help

A song's length is the time until playback comes back to a step it has already played.
Lengths are capped at 10 minutes unless --seconds asks for more.

Examples:
  ahx render song.hvl                      writes song.wav
  ahx render song.ahx -o song.flac --loops 2 --fade 5
  ahx render *.hvl *.ahx -o converted/     one WAV per module
  ahx render song.hvl --song all           song-song0.wav, song-song1.wav, ...
  ahx render song.hvl -o - | aplay -f cd
)";

inline constexpr std::string_view kInfoHelp = R"(Usage: ahx info [--json] FILE...

Shows each module's format and version, title, channels, positions and restart position, track
length, tracks, instruments with their names, subsongs with their start positions, replay speed,
stereo mode, mix gain, and how long each song plays as `ahx render` measures it (at 44100 Hz;
a song that does not repeat within 10 minutes shows 10:00, and "ends":false in JSON).

Options:
  --json             one JSON object per file, one per line, for scripts
  -h, --help         show this help
)";

inline constexpr std::string_view kPlayHelp = R"(Usage: ahx play [FILE...] [OPTION...]

Plays each FILE (an AHX or HVL module) through the sound card, one after the other, each song
for its length as `ahx render` measures it. Without FILE it plays the demo song built into the
tool. On a terminal it shows the song, level meters and the pattern as it plays; otherwise (and
with --quiet) it shows at most one status line on stderr.

Options:
  --song N|all       song to play: 0 is the main song (default), 1 to n the subsongs;
                     all plays every song of each file
  --seconds S        play each song for S seconds (decimals allowed) instead of its length
  --loops N          play until the song has repeated N times (default 1: once through)
  --start S          begin S seconds into each song; the length still counts from its start
                     unless --seconds is given
  --stereo M         stereo mode 0 (mono) to 4 (hard left/right) for AHX modules (default 0);
                     HVL modules carry their own and ignore it
  --mute LIST        channels not to hear, numbered from 1: 2 or 1,3-5
  --solo LIST        the only channels to hear (--mute takes channels away from them)
  --driver NAME      the SDL audio driver to use: pulseaudio, pipewire, alsa, jack, disk, ...
  -q, --quiet        no player view and no status line
  -h, --help         show this help

Keys on the player view:
  space              pause / resume
  left, right        5 seconds back / on (exact)
  down, up           30 seconds back / on
  p, n               previous / next file
  <, >               previous / next song of the file
  1-9, 0             mute / unmute channel 1-9, 10
  s then 1-9 or 0    solo that channel; again: hear all channels
  l                  loop the song on / off: it repeats instead of ending
  ?, h               all keys
  q                  quit (so do Ctrl-C and SIGTERM; the terminal is always restored)

The sound goes out at the rate the device takes, rendered at that rate: nothing is resampled.
NO_COLOR turns colours off. Positions and steps count from 0, as in `ahx info`.

Exit status: 0 success, 1 usage error, 2 no audio output or a file could not be played (the
others still play), 130 stopped by Ctrl-C or SIGTERM.

Examples:
  ahx play song.hvl
  ahx play *.hvl *.ahx --song all
  ahx play song.ahx --start 30 --solo 1,2
  ahx render song.hvl -o - | aplay -f cd   without a sound server SDL can reach
)";

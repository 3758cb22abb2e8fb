#!/usr/bin/env python3
"""Counts the drop-outs of `ahx play` while every core is kept busy.

A private PulseAudio server with a 44100 Hz null sink takes the sound and parec records the sink's
monitor. Meanwhile one busy loop per core (or --busy N) competes for the processor. The recording
is then walked against `ahx render` of the same song: where the server found nothing to play (an
underrun) it inserted silence the render does not have; where the recorder fell behind, frames are
missing. Both are counted, as stretches and in milliseconds.

    scripts/measure-dropouts.py build/ahx demo/demo.hvl --seconds 54 -- --buffer 23
    scripts/measure-dropouts.py build/ahx demo/demo.hvl --seconds 54 --reference   # the same through pacat
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

FRAME_BYTES = 4
RATE = 44100
SILENT = b"\0" * FRAME_BYTES
RESYNC_FRAMES = 64            # frames that must agree to find the song again after a difference
RESYNC_SEARCH_FRAMES = RATE * 5


def start_server(folder):
    env = dict(os.environ, HOME=folder, XDG_RUNTIME_DIR=folder, PULSE_RUNTIME_PATH=folder + "/pulse",
               PULSE_SERVER="unix:" + folder + "/pulse/native")
    config = os.path.join(folder, "server.pa")
    with open(config, "w") as f:
        f.write("load-module module-native-protocol-unix\n"
                "load-module module-null-sink sink_name=capture rate=44100 channels=2 format=s16le norewinds=1\n"
                "set-default-sink capture\n")
    server = subprocess.Popen(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--system=no",
                               "--file=" + config], env=env, stderr=subprocess.DEVNULL)
    for _ in range(200):
        if subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0:
            return server, env
        time.sleep(0.05)
    server.terminate()
    sys.exit("PulseAudio did not start")


def walk(capture, render):
    """Returns (gaps, silent frames inserted, losses, frames lost, first difference or None)."""
    frames = lambda data: len(data) // FRAME_BYTES
    frame = lambda data, i: data[i * FRAME_BYTES:(i + 1) * FRAME_BYTES]
    i = 0
    while i < frames(capture) and frame(capture, i) == SILENT:
        i += 1
    j = 0
    while j < frames(render) and frame(render, j) == SILENT:
        j += 1
    gaps = inserted = losses = lost = 0
    block = 1024
    while j < frames(render) and i < frames(capture):
        n = min(block, frames(render) - j, frames(capture) - i)
        if capture[i * FRAME_BYTES:(i + n) * FRAME_BYTES] == render[j * FRAME_BYTES:(j + n) * FRAME_BYTES]:
            i, j = i + n, j + n
            continue
        if frame(capture, i) == frame(render, j):
            i, j = i + 1, j + 1
            continue
        if frame(capture, i) == SILENT:
            start = i
            while i < frames(capture) and frame(capture, i) == SILENT:
                i += 1
            # The song may be silent here too: only what it lacks was inserted.
            k = j
            while k < frames(render) and frame(render, k) == SILENT and k - j < i - start:
                k += 1
            gaps += 1
            inserted += (i - start) - (k - j)
            j = k
            continue
        wanted = capture[i * FRAME_BYTES:(i + RESYNC_FRAMES) * FRAME_BYTES]
        found = render.find(wanted, j * FRAME_BYTES, (j + RESYNC_SEARCH_FRAMES) * FRAME_BYTES)
        while found >= 0 and found % FRAME_BYTES != 0:
            found = render.find(wanted, found + 1, (j + RESYNC_SEARCH_FRAMES) * FRAME_BYTES)
        if found < 0:
            return gaps, inserted, losses, lost, f"differs at render frame {j}, capture frame {i}"
        losses += 1
        lost += found // FRAME_BYTES - j
        j = found // FRAME_BYTES
    if j < frames(render):
        return gaps, inserted, losses, lost, f"the capture ends {frames(render) - j} frames before the song"
    return gaps, inserted, losses, lost, None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("song")
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--busy", type=int, default=os.cpu_count())
    parser.add_argument("--reference", action="store_true",
                        help="play the render with pacat (the server's own client) instead of ahx play")
    own = sys.argv[1:sys.argv.index("--")] if "--" in sys.argv else sys.argv[1:]
    args = parser.parse_args(own)
    args.play_args = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []  # more options for ahx play
    tool, song = os.path.abspath(args.tool), os.path.abspath(args.song)
    shared = ["--seconds", str(args.seconds)]
    for k, a in enumerate(args.play_args[:-1]):
        if a in ("--stereo", "--separation"):  # what changes the sound, not how it is played
            shared += [a, args.play_args[k + 1]]
    render = subprocess.run([tool, "render", song, "-o", "-"] + shared, capture_output=True, check=True).stdout

    folder = tempfile.mkdtemp(prefix="ahx-dropouts-")
    server, env = start_server(folder)
    busy = []
    try:
        record_path = os.path.join(folder, "capture.raw")
        with open(record_path, "wb") as out:
            recorder = subprocess.Popen(["parec", "-d", "capture.monitor", "--raw", "--format=s16le", "--rate=44100",
                                         "--channels=2"], env=env, stdout=out)
        time.sleep(0.5)
        busy = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(args.busy)]
        time.sleep(0.5)
        env["SDL_AUDIODRIVER"] = "pulseaudio"
        started = time.monotonic()
        if args.reference:
            subprocess.run(["pacat", "--raw", "--format=s16le", "--rate=44100", "--channels=2"], input=render, env=env,
                           check=True)
        else:
            subprocess.run([tool, "play", song, "--quiet", "--seconds", str(args.seconds)] + args.play_args, env=env,
                           check=True)
        played = time.monotonic() - started
        for process in busy:
            process.terminate()
            process.wait()
        busy = []
        time.sleep(0.5)
        recorder.terminate()
        recorder.wait()
        with open(record_path, "rb") as f:
            capture = f.read()
    finally:
        for process in busy:
            process.terminate()
            process.wait()
        server.terminate()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)

    gaps, inserted, losses, lost, difference = walk(capture, render)
    player = "pacat" if args.reference else "ahx play " + " ".join(args.play_args)
    print(f"{args.seconds:g} s of song, played in {played:.1f} s with {args.busy} busy loops "
          f"(load average {os.getloadavg()[0]:.1f}), {player}")
    print(f"silence inserted: {gaps} times, {inserted * 1000 / RATE:.0f} ms in all; "
          f"frames missing: {losses} times, {lost * 1000 / RATE:.0f} ms in all")
    if difference:
        print("the capture does not follow the song:", difference)


if __name__ == "__main__":
    main()

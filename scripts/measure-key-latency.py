#!/usr/bin/env python3
"""Measures how long `ahx play` takes from a key to the change in its sound.

A private PulseAudio server with a 44100 Hz null sink takes the sound; parec records the sink's
monitor into this script, which notes when each piece arrives. `ahx play` runs in tmux; the space
key pauses and resumes it. The latency of one key is the arrival time of the first recorded frame
that shows the change (the start of the silence, or the end of it) less the time the key was
sent. It counts the server's and parec's own buffering too, so it errs on the long side.

    scripts/measure-key-latency.py build/ahx demo/demo.hvl [presses]
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time

FRAME_BYTES = 4
RATE = 44100
SILENCE_FRAMES = RATE // 20  # 50 ms of exact zeros: a pause, not a quiet moment of the song


def main():
    tool, song = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    presses = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    folder = tempfile.mkdtemp(prefix="ahx-latency-")
    env = dict(os.environ, HOME=folder, XDG_RUNTIME_DIR=folder, PULSE_RUNTIME_PATH=folder + "/pulse",
               PULSE_SERVER="unix:" + folder + "/pulse/native")
    config = os.path.join(folder, "server.pa")
    with open(config, "w") as f:
        f.write("load-module module-native-protocol-unix\n"
                "load-module module-null-sink sink_name=capture rate=44100 channels=2 format=s16le norewinds=1\n"
                "set-default-sink capture\n")
    server = subprocess.Popen(["pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--system=no",
                               "--file=" + config], env=env, stderr=subprocess.DEVNULL)
    tmux = ["tmux", "-L", "ahx-latency", "-f", "/dev/null"]
    try:
        for _ in range(100):
            if subprocess.run(["pactl", "info"], env=env, capture_output=True).returncode == 0:
                break
            time.sleep(0.05)
        recorder = subprocess.Popen(["parec", "-d", "capture.monitor", "--raw", "--format=s16le", "--rate=44100",
                                     "--channels=2", "--latency-msec=5"], env=env, stdout=subprocess.PIPE)
        data = bytearray()
        arrivals = []  # (time, bytes received so far)

        def record():
            while True:
                piece = os.read(recorder.stdout.fileno(), 4096)
                if not piece:
                    return
                data.extend(piece)
                arrivals.append((time.monotonic(), len(data)))

        reader = threading.Thread(target=record, daemon=True)
        reader.start()
        command = f"SDL_AUDIODRIVER=pulseaudio {tool} play {song} --loops 100"
        subprocess.run(tmux + ["new-session", "-d", "-s", "p", "-x", "80", "-y", "24", command], env=env, check=True)
        time.sleep(2)
        sent = []
        for _ in range(presses):
            sent.append(time.monotonic())
            subprocess.run(tmux + ["send-keys", "-t", "p", "Space"], env=env, check=True)
            time.sleep(0.7)
        subprocess.run(tmux + ["send-keys", "-t", "p", "q"], env=env)
        time.sleep(0.3)
        recorder.terminate()
        reader.join(2)
    finally:
        subprocess.run(tmux + ["kill-server"], env=env, stderr=subprocess.DEVNULL)
        server.terminate()
        server.wait()
        shutil.rmtree(folder, ignore_errors=True)

    frames = [bytes(data[i:i + FRAME_BYTES]) != b"\0\0\0\0" for i in range(0, len(data) - 3, FRAME_BYTES)]

    def arrival(frame):
        target = (frame + 1) * FRAME_BYTES
        return next(t for t, total in arrivals if total >= target)

    # Changes: the first frame of each long silence after sound, and the first sound after it.
    changes, start, silent_run = [], None, 0
    heard = False
    for i, loud in enumerate(frames):
        if loud:
            if heard and silent_run >= SILENCE_FRAMES:
                changes.append(i)
            heard, silent_run = True, 0
        else:
            silent_run += 1
            if heard and silent_run == SILENCE_FRAMES:
                changes.append(i - SILENCE_FRAMES + 1)
    latencies = []
    for key_time in sent:
        later = [arrival(c) - key_time for c in changes if arrival(c) > key_time]
        if later:
            latencies.append(min(later) * 1000)
    print("key to sound change, ms:", " ".join(f"{x:.0f}" for x in latencies))
    if latencies:
        print(f"median {statistics.median(latencies):.0f} ms, worst {max(latencies):.0f} ms over {len(latencies)} keys")


if __name__ == "__main__":
    main()

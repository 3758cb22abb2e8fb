#!/bin/sh
# Installs the Debian packages the build and the tests need, when they are missing and we are root.
# Packages that only one part needs (the web player's emscripten, chromium and firefox-esr) come as arguments.
set -eu
# `tool` alone: what the library and the tool need to build and play (make demo), no more.
# The player needs SDL and ncurses; its tests drive it under tmux (finding its processes with
# pgrep) and through a PulseAudio null sink.
# The GStreamer element's tests run gst-launch, gst-inspect (tools), gst-discoverer and gst-play
# (base-apps) with wavenc (good).
tool="cmake g++ libsndfile1-dev libebur128-dev pkgconf libsdl2-dev libncurses-dev"
if [ "${1-}" = tool ]; then
  needed=$tool
else
  needed="$tool clang libgtest-dev libbenchmark-dev help2man tmux procps pulseaudio pulseaudio-utils
          libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libgstreamer-plugins-bad1.0-dev
          gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-base-apps $*"
fi
missing=""
for p in $needed; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing Debian packages:$missing (install them, or run as root)" >&2
  exit 1
fi
echo "installing:$missing"
apt-get update -q >/dev/null
DEBIAN_FRONTEND=noninteractive apt-get install -y -q $missing >/dev/null

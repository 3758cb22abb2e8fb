#!/bin/sh
# The installed tool comes with its man page (written by help2man from its help) and a bash
# completion that offers commands, options, format names and module files.
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

page=$prefix/share/man/man1/ahx.1
[ -f "$page" ] || { echo "no man page installed"; exit 1; }
for wanted in '^\.TH AHX "1"' '^ahx \\- play, render' '^\.SH "AHX PLAY"' '^\.SH "AHX RENDER"' '^\.SH "AHX INFO"' '^\.SH "AHX CHECK"' 'separation P' \
               '3  every file could be read'; do
  grep -q -- "$wanted" "$page" || { echo "the man page lacks: $wanted"; exit 1; }
done

if command -v man >/dev/null; then
  wide=$(MANWIDTH=80 man -l "$page" 2>/dev/null | awk 'length > 80' | head -n 3)
  [ -z "$wide" ] || { echo "the man page runs past 80 columns: $wide"; exit 1; }
fi

completion=$prefix/share/bash-completion/completions/ahx
[ -f "$completion" ] || { echo "no bash completion installed"; exit 1; }
mkdir -p "$work/songs/folder"
touch "$work/songs/a.hvl" "$work/songs/B.AHX" "$work/songs/c.thx" "$work/songs/THX.d" "$work/songs/notes.txt"
# Completes the words given, the last one being typed, and prints the offers sorted on one line.
complete_words() {
  (cd "$work/songs" && bash -c '
    . "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    _ahx
    printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' complete "$completion" "$prefix/bin/ahx" "$@")
}
expect() {
  words=$1 wanted=$2
  # shellcheck disable=SC2086 # the words are split on purpose
  got=$(complete_words $words "${3-}")
  [ "$got" = "$wanted" ] || { echo "completing '$words ${3-}': expected '$wanted', got '$got'"; exit 1; }
}
expect "" "--help --version check info play render " ""
expect "" "render " "re"
expect "render" "--seconds --separation --solo --song --start --stems --stereo " "--s"
expect "check" "--all --help --jobs --json " "--"
expect "render --format" "ogg opus " "o"
expect "info" "B.AHX THX.d a.hvl c.thx folder/ " ""
expect "play --driver" "pipewire pulseaudio " "p"
echo "man page and bash completion installed and working"

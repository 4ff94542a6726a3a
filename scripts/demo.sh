#!/usr/bin/env bash
# The main job: installs and builds (scripts/setup.sh), makes a short demo
# set (two synthesised WAV tracks and a .m3u list naming them) and plays it
# through the plug-in with tunedeck-render, one track after the other, into
# build/demo/demo-mix.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p build/demo
build/tunedeck-demo-tracks build/demo
build/tunedeck-render --out build/demo/demo-mix.wav build/demo/demo.m3u
echo "listen: build/demo/demo-mix.wav"

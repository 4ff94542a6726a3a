#!/usr/bin/env python3
"""Measures the deck's tempo, beat and key analysis on the beat corpus.

   tests/analysis/measure.py BUILD_DIR [FORMATS]

Makes the corpus (tools/tunedeck-beat-corpus) in a folder of its own, encodes
it as FLAC and MP3 with Debian's encoders and decodes those back to WAV with
the independent decoders (flac, mpg123), then analyses every file with the
deck's analysis, with the Queen Mary beat tracker alone (a straight line
through its beats) and with aubio's beat tracker, and compares each with the
truth table: tempo within 0.1 BPM, the right octave (within 4 %), the phase
of the beat within 10 ms, the bar's first beat, and the key. FORMATS is a comma list (default
wav,flac,mp3)."""
import csv
import os
import shutil
import statistics
import subprocess
import sys
import tempfile


def line_through(beats):
    """bpm and first beat (phase) of a least-squares line through beat times."""
    if len(beats) < 4:
        return 0.0, 0.0
    gaps = sorted(b - a for a, b in zip(beats, beats[1:]))
    period = gaps[len(gaps) // 2]
    numbers = [0]
    for a, b in zip(beats, beats[1:]):
        numbers.append(numbers[-1] + max(1, round((b - a) / period)))
    n = len(beats)
    sx, sy = sum(numbers), sum(beats)
    sxx = sum(x * x for x in numbers)
    sxy = sum(x * y for x, y in zip(numbers, beats))
    slope = (n * sxy - sx * sy) / (n * sxx - sx * sx)
    origin = (sy - slope * sx) / n
    return 60.0 / slope, origin % slope


def phase_error_ms(found_first, true_first, bpm):
    period = 60.0 / bpm
    d = (found_first - true_first) % period
    return 1000.0 * min(d, period - d)


def main():
    build = sys.argv[1]
    formats = (sys.argv[2] if len(sys.argv) > 2 else "wav,flac,mp3").split(",")
    work = tempfile.mkdtemp(prefix="tunedeck-corpus-")
    try:
        subprocess.run([os.path.join(build, "tunedeck-beat-corpus"), work], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(work, "truth.csv")) as f:
            truth = list(csv.DictReader(f))
        files = []
        for row in truth:
            wav = os.path.join(work, row["file"])
            stem = wav[:-4]
            for kind in formats:
                if kind == "wav":
                    files.append((row, kind, wav))
                elif kind == "flac":
                    subprocess.run(["flac", "--silent", "-f", "-o", stem + ".flac", wav], check=True)
                    subprocess.run(["flac", "--silent", "-d", "-f", "-o", stem + ".flac.wav", stem + ".flac"], check=True)
                    files.append((row, kind, stem + ".flac.wav"))
                elif kind == "mp3":
                    subprocess.run(["lame", "--quiet", "-b", "320", wav, stem + ".mp3"], check=True)
                    subprocess.run(["mpg123", "-q", "-w", stem + ".mp3.wav", stem + ".mp3"], check=True)
                    files.append((row, kind, stem + ".mp3.wav"))
        out = subprocess.run([os.path.join(build, "bench", "tunedeck_analysis_accuracy")] + [f for _, _, f in files],
                             check=True, capture_output=True, text=True).stdout
        ours = {}
        for line in out.splitlines():
            parts = line.split()
            values = dict(zip(parts[1::2], parts[2::2]))
            ours[parts[0]] = values
        rows = []
        for row, kind, path in files:
            v = ours[path]
            aubio = subprocess.run(["aubio", "beat", path], capture_output=True, text=True).stdout.split()
            aubio_bpm, aubio_first = line_through([float(x) for x in aubio])
            rows.append((row, kind, path, v, aubio_bpm, aubio_first))

        def score(name, bpm_of, first_of, key_of=None):
            constant = [r for r in rows if r[0]["tempo"] == "constant"]
            tempo = octave = phase = bars = keys = relative = 0
            phases = []
            for row, kind, path, v, ab, af in constant:
                true_bpm, true_first = float(row["bpm"]), float(row["first_beat_s"])
                bpm, first = bpm_of(v, ab), first_of(v, af)
                if bpm <= 0:
                    continue
                tempo += abs(bpm - true_bpm) <= 0.1
                octave += abs(bpm - true_bpm) <= 0.04 * true_bpm
                error = phase_error_ms(first, true_first, true_bpm)
                phases.append(error)
                phase += error <= 10
                # The bar's first beat: a whole number of bars from the truth's.
                beats_off = (first - true_first) * true_bpm / 60.0
                bars += error <= 10 and round(beats_off) % 4 == 0
            for row, kind, path, v, ab, af in rows:
                keys += key_of is not None and key_of(v) == row["camelot"]
                # The relative major or minor: the same number on the wheel.
                relative += key_of is not None and key_of(v)[:-1] == row["camelot"][:-1]
            n = len(constant)
            med = statistics.median(phases) if phases else float("nan")
            print(f"{name:10} tempo within 0.1 BPM {tempo}/{n}, octave right {octave}/{n}, "
                  f"phase within 10 ms {phase}/{n} (median {med:.1f} ms, worst {max(phases or [0]):.1f} ms), "
                  f"downbeat {bars}/{n}"
                  + (f", key right {keys}/{len(rows)} (or its relative {relative})" if key_of else ""))

        for row, kind, path, v, ab, af in rows:
            print(f"{row['file']:24} {kind:4} truth {float(row['bpm']):7.2f} {row['camelot']:>3} {row['tempo']:8} | "
                  f"deck {float(v['bpm']):7.2f} {v['key']:>3} first {float(v['first_beat_s']):.4f} | "
                  f"qm {float(v['plain_bpm']):7.2f} | aubio {ab:7.2f}")
        score("deck", lambda v, ab: float(v["bpm"]), lambda v, af: float(v["first_beat_s"]), lambda v: v["key"])
        score("qm-dsp", lambda v, ab: float(v["plain_bpm"]), lambda v, af: float(v["plain_first_beat_s"]))
        score("aubio", lambda v, ab: ab, lambda v, af: af)
        seconds = [float(v["seconds"]) for _, _, _, v, _, _ in rows]
        print(f"analysis time per 60 s track: median {statistics.median(seconds):.3f} s, most {max(seconds):.3f} s")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

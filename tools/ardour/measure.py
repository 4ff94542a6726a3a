#!/usr/bin/env python3
"""measure.py FILE.wav -- rate, length, per-channel RMS/peak (dBFS), frequency by zero crossings
(interpolated) over the non-silent part, and the silent share (50 ms windows below -60 dBFS)."""
import sys, subprocess, struct, math, re
f = sys.argv[1]
info = subprocess.run(['soxi', f], capture_output=True, text=True).stdout
rate = int(re.search(r'Sample Rate\s*:\s*(\d+)', info).group(1))
ch = int(re.search(r'Channels\s*:\s*(\d+)', info).group(1))
raw = subprocess.run(['sox', f, '-t', 'f32', '-e', 'floating-point', '-'], capture_output=True).stdout
x = struct.unpack('<%df' % (len(raw) // 4), raw)
chans = [x[c::ch] for c in range(ch)]
n = len(chans[0])
print("%s: %d Hz, %d ch, %.3f s" % (f, rate, ch, n / rate))
def db(v): return 20 * math.log10(v) if v > 0 else -999
for c, s in enumerate(chans):
    rms = math.sqrt(sum(v * v for v in s) / max(1, n)); pk = max(abs(v) for v in s) if s else 0
    print("  ch%d rms %.1f dBFS peak %.1f dBFS" % (c, db(rms), db(pk)))
s = chans[0]; w = rate // 20
loud = []
for i in range(0, n - w + 1, w):
    r = math.sqrt(sum(v * v for v in s[i:i + w]) / w)
    loud.append(r > 1e-3)
print("  windows %d, silent %d, first sound at %.2f s" % (len(loud), loud.count(False),
      (loud.index(True) * w / rate) if True in loud else -1))
if True not in loud:
    sys.exit("  silent: nothing was exported")
# zero crossings on the loud windows
zc = []
for k, L in enumerate(loud):
    if not L: continue
    seg = s[k * w:(k + 1) * w]
    for i in range(1, len(seg)):
        if seg[i - 1] < 0 <= seg[i]:
            zc.append(k * w + i - 1 + (-seg[i - 1]) / (seg[i] - seg[i - 1]))
if len(zc) > 2:
    per = [b - a for a, b in zip(zc, zc[1:]) if b - a < rate / 50]
    per.sort()
    med = per[len(per) // 2]
    print("  frequency (median period) %.2f Hz over %d periods; spread %.2f..%.2f Hz" %
          (rate / med, len(per), rate / per[-1], rate / per[0]))

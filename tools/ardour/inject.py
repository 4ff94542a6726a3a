#!/usr/bin/env python3
"""inject.py SESSION.ardour STATE.bin  -- put a deck state block into the <chunk> of the
Trakvox processor (Ardour keeps VST chunks base64-encoded there)."""
import base64, re, sys
path, state = sys.argv[1], sys.argv[2]
xml = open(path).read()
b64 = base64.b64encode(open(state, 'rb').read()).decode()
new, n = re.subn(r'(<Processor [^>]*type="lxvst"[^>]*>.*?<chunk program="\d+">)[^<]*(</chunk>)',
                 lambda m: m.group(1) + b64 + m.group(2), xml, flags=re.S)
assert n == 1, n
open(path, 'w').write(new)
print("injected", len(b64), "base64 chars")

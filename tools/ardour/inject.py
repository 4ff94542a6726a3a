#!/usr/bin/env python3
"""inject.py SESSION.ardour STATE.bin  -- put a deck state block into the session:
into the <chunk> of the Trakvox VST 2 processor (Ardour keeps VST chunks base64-encoded
there), or, for the LV2 build, into the state.ttl Ardour keeps in the session's plugins
folder (base64 too)."""
import base64, glob, os, re, sys
path, state = sys.argv[1], sys.argv[2]
b64 = base64.b64encode(open(state, 'rb').read()).decode()
xml = open(path).read()
new, n = re.subn(r'(<Processor [^>]*type="lxvst"[^>]*>.*?<chunk program="\d+">)[^<]*(</chunk>)',
                 lambda m: m.group(1) + b64 + m.group(2), xml, flags=re.S)
if n == 1:
    open(path, 'w').write(new)
else:
    # The newest saved state of the LV2 deck.
    states = [f for f in glob.glob(os.path.join(os.path.dirname(path), 'plugins', '*', '*', 'state.ttl'))
              if 'urn:tunedeck:trakvox#state' in open(f).read()]
    assert states, 'no deck in the session'
    newest = max(states, key=os.path.getmtime)
    ttl = open(newest).read()
    ttl, n = re.subn(r'(<urn:tunedeck:trakvox#state> """)[^"]*(""")', lambda m: m.group(1) + b64 + m.group(2), ttl)
    assert n == 1, n
    open(newest, 'w').write(ttl)
print("injected", len(b64), "base64 chars")

#!/usr/bin/env python3
"""inject.py SESSION.ardour STATE.bin  -- put a deck state block into the session:
into the <chunk> of the Trakvox VST 2 processor (Ardour keeps VST chunks base64-encoded
there), into the VST 3 processor's <chunk> (a VST 3 preset: its component part), or, for
the LV2 build, into the state.ttl Ardour keeps in the session's plugins folder."""
import base64, glob, os, re, struct, sys
path, state = sys.argv[1], sys.argv[2]
b64 = base64.b64encode(open(state, 'rb').read()).decode()
xml = open(path).read()
new, n = re.subn(r'(<Processor [^>]*type="lxvst"[^>]*>.*?<chunk program="\d+">)[^<]*(</chunk>)',
                 lambda m: m.group(1) + b64 + m.group(2), xml, flags=re.S)

def vst3_preset(old, component):
    """A VST 3 preset as Ardour keeps it, with its component state replaced."""
    assert old[:4] == b'VST3', 'not a VST 3 preset'
    class_id = old[8:40]
    list_at = struct.unpack('<q', old[40:48])[0]
    count = struct.unpack('<i', old[list_at + 4:list_at + 8])[0]
    chunks = {}
    for i in range(count):
        entry = old[list_at + 8 + i * 20:list_at + 28 + i * 20]
        at, size = struct.unpack('<qq', entry[4:])
        chunks[entry[:4]] = old[at:at + size]
    chunks[b'Comp'] = component
    body, entries, at = b'', b'', 48
    for name, data in chunks.items():
        entries += name + struct.pack('<qq', at, len(data))
        body += data
        at += len(data)
    return b'VST3' + struct.pack('<i', 1) + class_id + struct.pack('<q', at) + body + \
        b'List' + struct.pack('<i', len(chunks)) + entries

if n == 0:
    def replace(m):
        old = base64.b64decode(m.group(2))
        return m.group(1) + base64.b64encode(vst3_preset(old, open(state, 'rb').read())).decode() + m.group(3)
    new, n = re.subn(r'(<Processor [^>]*type="vst3"[^>]*>.*?<chunk>)([^<]*)(</chunk>)', replace, xml, flags=re.S)
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

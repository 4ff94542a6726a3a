-- Create a 48 kHz session with the deck on a MIDI track, set parameters, save.
local dir = os.getenv("SESS_DIR") or (os.getenv("PWD") .. "/sess")
local name = os.getenv("SESS_NAME") or "deck"
local bs = tonumber(os.getenv("BS") or "1024")
local plugname = os.getenv("PLUG") or "Trakvox VST 2"
-- PTYPE: LXVST (the default), LV2, VST3
local ptype = ARDOUR.PluginType[os.getenv("PTYPE") or "LXVST"]
local be = AudioEngine:set_backend("None (Dummy)", "", "")
be:set_device_name("Silence")
be:set_sample_rate(48000)
be:set_buffer_size(bs)
assert(AudioEngine:start(false) == 0, "engine start")
print("engine buffer", be:buffer_size(), "rate", be:sample_rate())
local s = create_session(dir, name, 48000)
assert(s, "create_session")
-- (passing nil as instrument crashes Ardour 7.3's Lua binding, so the deck is given as instrument
--  only when INSTR=1; otherwise an empty MIDI track from a throwaway ACE synth is made and the
--  synth removed, then the deck added with add_processor_by_index)
local mode = os.getenv("INSTR") or "0"
local tr, p
if mode == "1" then
  local info = ARDOUR.LuaAPI.new_plugin_info(plugname, ptype)
  assert(not info:isnil(), "plugin info")
  local tl = s:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
    ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, info, nil, nil, 1, "Deck",
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
  tr = tl:front()
  p = tr:nth_plugin(0)
else
  local ace = ARDOUR.LuaAPI.new_plugin_info("ACE Reasonable Synth", ARDOUR.PluginType.LV2)
  assert(not ace:isnil(), "ace info")
  local tl = s:new_midi_track(ARDOUR.ChanCount(ARDOUR.DataType("midi"), 1),
    ARDOUR.ChanCount(ARDOUR.DataType("audio"), 2), true, ace, nil, nil, 1, "Deck",
    ARDOUR.PresentationInfo.max_order, ARDOUR.TrackMode.Normal, true, false)
  tr = tl:front()
  tr:remove_processor(tr:nth_plugin(0), nil, true)
  p = ARDOUR.LuaAPI.new_plugin(s, plugname, ptype, "")
  assert(not p:isnil(), "new_plugin")
  assert(tr:add_processor_by_index(p, 0, nil, true) == 0, "add_processor")
end
print("track", tr:name(), "first plugin", tr:nth_plugin(0):display_name())
local pi = p:to_plugininsert():plugin(0)
print("plugin", pi:name(), "params", pi:parameter_count())
for i = 0, pi:parameter_count() - 1 do
  local ok, pd = pi:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
  local v = ARDOUR.LuaAPI.get_processor_param(p, i, true)
  print(string.format("param %2d %-12s lower %.3f upper %.3f toggled %s enum %s int %s log %s value %s",
    i, pi:parameter_label(i), pd[2].lower, pd[2].upper, tostring(pd[2].toggled),
    tostring(pd[2].enumeration), tostring(pd[2].integer_step), tostring(pd[2].logarithmic), tostring(v)))
end
local sets = os.getenv("SETS") or "10=0.4,3=0.75,0=1"
for idx, val in sets:gmatch("(%d+)=([%d%.]+)") do
  print("set", idx, val, ARDOUR.LuaAPI.set_processor_param(p, tonumber(idx), tonumber(val)))
end
-- TEMPO=128: the session's tempo from its start, for Sync.
local bpm = tonumber(os.getenv("TEMPO") or "")
if bpm then
  local tm = Temporal.TempoMap.fetch_writable()
  tm:set_tempo(Temporal.Tempo(bpm, bpm, 4), Temporal.timepos_t(0))
  Temporal.TempoMap.update(tm)
  print("tempo", bpm)
end
s:save_state("", false, false, false, false, false)
print("saved")
close_session()
print("closed")

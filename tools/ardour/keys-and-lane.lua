-- Loads the deck's session; KEYS=1 puts the key generator (key-generator.lua) before
-- the deck, VOL_RAMP="from,to,seconds,steps" draws a stepped Vol lane from 1 s on; then exports.
local dir = os.getenv("SESS_DIR") or (os.getenv("PWD") .. "/sess")
local be = AudioEngine:set_backend("None (Dummy)", "", "")
be:set_device_name("Silence")
be:set_sample_rate(48000)
be:set_buffer_size(tonumber(os.getenv("BS") or "1024"))
assert(AudioEngine:start(false) == 0, "engine start")
print("engine buffer", be:buffer_size())
local s = load_session(dir, "deck")
assert(s, "load_session")
local tr, deck
for r in s:get_routes():iter() do
  local pr = r:nth_plugin(0)
  if not pr:isnil() and pr:display_name():find("Trakvox") then tr = r deck = pr end
end
assert(deck, "deck not found")
local o = tr:output()
for i = 0, 1 do
  local port = o:audio(i)
  if not port:connected() then o:connect(port, "Master/audio_in " .. (i + 1), nil) end
end
if os.getenv("KEYS") == "1" then
  local lp = ARDOUR.LuaAPI.new_luaproc(s, "Deck test keys")
  assert(not lp:isnil(), "key generator")
  assert(tr:add_processor_by_index(lp, 0, nil, true) == 0, "add key generator")
  lp:activate()
end
-- PLAY=1 presses Play: a reopened session's deck waits stopped.
if os.getenv("PLAY") == "1" then ARDOUR.LuaAPI.set_processor_param(deck, 0, 1) end
local ramp = os.getenv("VOL_RAMP") -- "from,to,seconds,steps": a stepped Vol lane
if ramp then
  local a, b, secs, steps = ramp:match("([%d%.]+),([%d%.]+),([%d%.]+),(%d+)")
  a, b, secs, steps = tonumber(a), tonumber(b), tonumber(secs), tonumber(steps)
  -- VOL_PARAM: Vol's parameter number in the format (10; the LV2 build counts its ports: 13)
  local vol = tonumber(os.getenv("VOL_PARAM") or "10")
  local ac = deck:to_automatable():automation_control(Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, vol), false)
  local al = ac:alist()
  for k = 0, steps do
    local at = math.floor(48000 * (1 + secs * k / steps))
    al:add(Temporal.timepos_t(at), a + (b - a) * k / steps, false, true)
  end
  ac:set_automation_state(ARDOUR.AutoState.Play)
  print("Vol lane points", al:size())
end
local e = s:simple_export()
e:set_range(0, math.floor(48000 * tonumber(os.getenv("EXPORT_SECONDS") or "4")))
e:set_folder(os.getenv("EXPORT_DIR") or os.getenv("PWD"))
e:set_name(os.getenv("EXPORT_NAME") or "keys")
e:set_preset("75969a1c-3133-4694-864b-a1fa50e43348")
print("export", e:run_export())
close_session()

-- Load a session, print the deck's parameters, optionally set some (SETS="10=0.4,3=0.75"),
-- optionally save (SAVE=1) and export EXPORT_SECONDS seconds to EXPORT_DIR/EXPORT_NAME.wav.
local dir = os.getenv("SESS_DIR") or (os.getenv("PWD") .. "/sess")
local name = os.getenv("SESS_NAME") or "deck"
local bs = tonumber(os.getenv("BS") or "1024")
local be = AudioEngine:set_backend("None (Dummy)", "", "")
be:set_device_name("Silence")
be:set_sample_rate(48000)
be:set_buffer_size(bs)
assert(AudioEngine:start(false) == 0, "engine start")
print("engine buffer", be:buffer_size())
local s = load_session(dir, name)
assert(s, "load_session")
local p
for r in s:get_routes():iter() do
  local pr = r:nth_plugin(0)
  if not pr:isnil() and pr:display_name():find(os.getenv("PLUG_MATCH") or "Trakvox", 1, true) then p = pr print("route", r:name()) end
end
assert(p, "deck not found")
-- headless Ardour did not auto-connect the MIDI track's audio outputs to the master bus: do it here
for r in s:get_routes():iter() do
  if r:name() == "Deck" then
    local o = r:output()
    for i = 0, 1 do
      local port = o:audio(i)
      if not port:isnil() and not port:connected() then
        print("connect", port:name(), o:connect(port, "Master/audio_in " .. (i + 1), nil))
      end
    end
  end
end
local pl = p:to_plugininsert():plugin(0)
local function dump(tag)
  local t = {}
  for i = 0, pl:parameter_count() - 1 do
    t[#t+1] = string.format("%s=%.4g", pl:parameter_label(i), ARDOUR.LuaAPI.get_processor_param(p, i, true))
  end
  print(tag, table.concat(t, " "))
  -- above: what the plug-in reports (get_processor_param); below: Ardour's control values
  local t2 = {}
  local pi = p:to_plugininsert()
  for i = 0, pl:parameter_count() - 1 do
    local c = pi:to_automatable():automation_control(Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, i), false)
    -- (an LV2 plug-in counts its audio and event ports too: they have no control)
    if not c:isnil() then t2[#t2+1] = string.format("%.4g", c:get_value()) end
  end
  print(tag .. "-controls", table.concat(t2, " "))
end
dump("loaded")
local sets = os.getenv("SETS") or ""
for idx, val in sets:gmatch("(%d+)=([%d%.]+)") do
  print("set", idx, val, ARDOUR.LuaAPI.set_processor_param(p, tonumber(idx), tonumber(val)))
end
if sets ~= "" then dump("after-set") end
local secs = tonumber(os.getenv("EXPORT_SECONDS") or "0")
if secs > 0 then
  local e = s:simple_export()
  print("outputs ok", e:check_outputs())
  e:set_range(0, math.floor(48000 * secs))
  e:set_folder(os.getenv("EXPORT_DIR") or os.getenv("PWD"))
  e:set_name(os.getenv("EXPORT_NAME") or "out-ardour")
  e:set_preset("75969a1c-3133-4694-864b-a1fa50e43348") -- WAV @ session-rate
  print("export", e:run_export())
  dump("after-export")
end
if os.getenv("SAVE") == "1" then s:save_state("", false, false, false, false, false) print("saved") end
close_session()
print("closed")

ardour { ["type"] = "dsp", name = "Deck test keys", category = "Utility", license = "GPL", author = "tunedeck",
  description = [[Sends the deck a play key at sample 48,300 and a cue key at 120,700 of the transport]] }
function dsp_ioconfig () return { { midi_in = 1, midi_out = 1, audio_in = -1, audio_out = -1 }, } end
function dsp_has_midi_input () return true end
function dsp_has_midi_output () return true end
local keys = { { 48300, 51 }, { 120700, 60 } }
function dsp_run (_, _, n_samples)
  if not Session:transport_rolling () then return end
  local pos = Session:transport_sample ()
  local cnt = 1
  for _, k in ipairs (keys) do
    if k[1] >= pos and k[1] < pos + n_samples then
      midiout[cnt] = { time = k[1] - pos + 1, data = { 0x90, k[2], 100 } }
      cnt = cnt + 1
    end
  end
end

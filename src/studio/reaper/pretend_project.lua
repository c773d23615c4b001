-- The project the routing trace's pretend REAPER opens (orvo --route --reaper):
-- fixed, so traces can be written against it.
{
  tempo = 120, state = "stopped", cursor = 0, name = "Pretend Project",
  master = { db = 0 },
  tracks = {
    { name = "Lead Vocals", db = -3, items = 4, selected = true },
    { name = "Vocal Double", db = -9, pan = -30, items = 4 },
    { name = "Kick Sample", db = -6, items = 1, fx = { "VST: ReaEQ (Cockos)" } },
    { name = "Bass", db = -4.5, items = 2,
      fx = { "VST: ReaComp (Cockos)", { name = "VST: ReaEQ (Cockos)", on = false } } },
    { name = "Piano", db = -10, pan = 20, items = 0, fx = { "VSTi: ReaSynth (Cockos)" } },
    { name = "Drum Room", db = -12, items = 3 },
  },
  installed = {
    "VST: ReaEQ (Cockos)", "VST: ReaComp (Cockos)", "VST: ReaVerbate (Cockos)", "VST: ReaDelay (Cockos)",
    "VST: ReaLimit (Cockos)", "VST: ReaGate (Cockos)", "VST: ReaTune (Cockos)", "VST: ReaPitch (Cockos)",
    "VSTi: ReaSynth (Cockos)", "VST3: Velvet Plate (Nimbus Audio)", "VST3i: Grand Upright (Keyworks) (64 out)",
  },
}

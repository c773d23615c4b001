// The best key of each take by maia-util's Krumhansl–Kessler key finding, the
// independent implementation our key scores are checked against (a test-time
// peer, never linked in). Reads { name: [[t, end, pitch], ...] } from the file
// given, writes { name: [tonic pitch class, minor] }. Each note lasts
// min(end - t, 2) + 0.1, so the peer weighs notes as we do.
// With --time N, prints instead the microseconds per take of N repeats.
const fs = require("fs");
const mu = require(process.argv[2]);
const takes = JSON.parse(fs.readFileSync(process.argv[3], "utf8"));
const repeats = process.argv[4] === "--time" ? Number(process.argv[5]) : 0;
const profiles = mu.krumhansl_and_kessler_key_profiles;
const keyNames = Object.keys(profiles);  // C major .. B major, then C minor .. B minor

function bestKey(notes) {
  const points = notes.map(([t, end, pitch]) => [t, pitch, Math.min(end - t, 2.0) + 0.1]);
  if (points.length === 0) return [0, false];
  const index = keyNames.indexOf(mu.fifth_steps_mode(points, profiles)[0]);
  return [index % 12, index >= 12];
}

if (repeats > 0) {
  const out = {};
  for (const [name, notes] of Object.entries(takes)) {
    const start = process.hrtime.bigint();
    for (let i = 0; i < repeats; ++i) bestKey(notes);
    out[name] = Number(process.hrtime.bigint() - start) / 1000 / repeats;
  }
  process.stdout.write(JSON.stringify(out));
} else {
  const out = {};
  for (const [name, notes] of Object.entries(takes)) out[name] = bestKey(notes);
  process.stdout.write(JSON.stringify(out));
}

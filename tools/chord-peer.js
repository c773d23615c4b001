// Times @tonaljs/chord-detect's detect over pitch-class sets (a test-time
// peer for the chord-naming benchmark, never linked in). Reads a JSON list of
// pitch-class lists from the file given; prints the microseconds per set of
// N repeats, and how many sets it named.
const fs = require("fs");
const { detect } = require(process.argv[2]);
const sets = JSON.parse(fs.readFileSync(process.argv[3], "utf8"));
const repeats = Number(process.argv[4] || 10);
const names = ["C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"];
const notes = sets.map((set) => set.map((pc) => names[pc]));
let named = 0;
for (const set of notes) named += detect(set).length > 0 ? 1 : 0;
const start = process.hrtime.bigint();
for (let i = 0; i < repeats; ++i) for (const set of notes) detect(set);
const micros = Number(process.hrtime.bigint() - start) / 1000 / repeats / Math.max(1, notes.length);
process.stdout.write(JSON.stringify({ micros, named, sets: notes.length }));

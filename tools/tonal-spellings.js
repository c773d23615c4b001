// Spellings by @tonaljs/tonal, the test-time peer the music words are checked
// against: every chord quality, scale, key signature and interval on every
// spelled root, one JSON document on standard output.
const { Chord, Scale, Key, Note } = require(process.argv[2]);
const roots = ["C", "C#", "Db", "D", "D#", "Eb", "E", "F", "F#", "Gb", "G", "G#", "Ab", "A", "A#",
               "Bb", "B"];
const chords = ["M", "m", "dim", "aug", "7", "maj7", "m7", "dim7", "sus4", "sus2"];
const scales = ["major", "minor", "blues"];
const intervals = ["2m", "2M", "3m", "3M", "4P", "4A", "5P", "6m", "6M", "7m", "7M", "8P"];
const out = [];
for (const root of roots) {
  for (const type of chords) out.push({ root, what: "chord " + type, notes: Chord.getChord(type, root).notes });
  for (const type of scales) out.push({ root, what: "scale " + type, notes: Scale.get(root + " " + type).notes });
  out.push({ root, what: "key major", notes: [String(Key.majorKey(root).alteration)] });
  out.push({ root, what: "key minor", notes: [String(Key.minorKey(root).alteration)] });
  for (const interval of intervals) {
    out.push({ root, what: "up " + interval, notes: [Note.pitchClass(Note.transpose(root + "4", interval))] });
    out.push({ root, what: "down " + interval, notes: [Note.pitchClass(Note.transpose(root + "4", "-" + interval))] });
  }
}
process.stdout.write(JSON.stringify(out));

#!/usr/bin/python3
# The take the key check scores, read with python3-mido rather than our own
# reader: the "piano" track when there is one, else every note but the drums;
# seconds from the file's first tempo, starting at 0, tidied (stray notes
# before a pause of more than 6 s among the first five onsets, at most three
# times, in takes of 9 notes or more). One JSON document: file -> [[t, end, pitch]].
import json
import sys

import mido


def notes_of(path):
    midi = mido.MidiFile(path, clip=True)
    tempo = None
    tracks = []
    for track in midi.tracks:
        name, tick, opened, notes = "", 0, {}, []
        for msg in track:
            tick += msg.time
            if msg.type == "track_name" and midi.type == 1:
                name = msg.name.strip().lower()
            elif msg.type == "set_tempo" and tempo is None and msg.tempo > 0:
                tempo = msg.tempo
            elif msg.type in ("note_on", "note_off") and msg.channel != 9:
                key = (msg.channel, msg.note)
                if key in opened:  # a release, or the same key struck again
                    start, _ = opened.pop(key)
                    notes.append((start, max(0.05, (tick - start) / midi.ticks_per_beat), msg.note))
                if msg.type == "note_on" and msg.velocity > 0:
                    opened[key] = (tick, msg.velocity)
        tracks.append((name, [(start / midi.ticks_per_beat, beats, pitch) for start, beats, pitch in notes]))
    seconds = (tempo if tempo else 500000) / 1e6
    piano = [notes for name, notes in tracks if name == "piano"]
    chosen = piano[0] if piano else [note for _, notes in tracks for note in notes]
    take = sorted(((b * seconds, (b + d) * seconds, p) for b, d, p in chosen), key=lambda n: n[0])
    if take:
        first = take[0][0]
        take = [(t - first, e - first, p) for t, e, p in take]
    for _ in range(3):
        if len(take) < 9:
            break
        cut = next((i for i in range(1, 5) if take[i][0] - take[i - 1][0] > 6.0), 0)
        if not cut:
            break
        take = take[cut:]
        first = take[0][0]
        take = [(t - first, e - first, p) for t, e, p in take]
    return [list(n) for n in take]


json.dump({path: notes_of(path) for path in sys.argv[1:]}, sys.stdout)

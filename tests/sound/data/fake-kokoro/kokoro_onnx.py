"""A stand-in for the kokoro_onnx package: no model, a silence of 60 ms a
character, and the failures a real model has."""

import os

import numpy


class Kokoro:
    def __init__(self, model_path, voices_path):
        if not os.path.exists(model_path):
            raise FileNotFoundError("no model at " + model_path)
        self.voices_path = voices_path

    def get_voices(self):
        return ["bm_george", "bf_emma", "af_heart"]

    def create(self, text, voice, speed, lang):
        if voice not in self.get_voices():
            raise ValueError("voice " + voice + " not found")
        if not 0.5 <= speed <= 2.0:
            raise ValueError("speed out of range")
        count = int(len(text) * 24000 * 0.06 / speed)
        return numpy.full(count, 0.25, dtype=numpy.float32), 24000

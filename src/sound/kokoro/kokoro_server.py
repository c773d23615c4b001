"""Orvo's natural voice server: the Kokoro model behind a line protocol.

Started as: python -I kokoro_server.py VOICE_FOLDER
The folder holds kokoro-v1.0.onnx and voices-v1.0.bin.

Out, once:   "ready" TAB voice TAB voice ...   or   "failed" TAB reason
In, a line:  id TAB voice TAB speed TAB output.wav TAB text
Out, a line: id TAB "ok"   or   id TAB "error: " reason

Every line is flushed at once, and one bad request never ends the server.
"""

import os
import sys
import wave


def say(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def clean(text):
    return " ".join(str(text).split())


def write_wav(path, samples, rate):
    import numpy

    pcm = (numpy.clip(numpy.asarray(samples, dtype=numpy.float32), -1.0, 1.0) * 32767).astype("<i2")
    partial = path + ".part"
    with wave.open(partial, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(int(rate))
        out.writeframes(pcm.tobytes())
    os.replace(partial, path)


def language(voice):
    return "en-gb" if voice[:1] == "b" else "en-us"


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    try:
        import kokoro_onnx

        model = kokoro_onnx.Kokoro(
            os.path.join(folder, "kokoro-v1.0.onnx"), os.path.join(folder, "voices-v1.0.bin")
        )
        voices = sorted(model.get_voices())
    except Exception as error:  # the model or the package is missing or broken
        say("failed\t" + clean(error or type(error).__name__))
        return 1
    say("ready\t" + "\t".join(voices))
    for line in sys.stdin:
        fields = line.rstrip("\r\n").split("\t", 4)
        request = fields[0]
        if len(fields) < 5:
            say(request + "\terror: a request needs five fields")
            continue
        _, voice, speed, path, text = fields
        try:
            samples, rate = model.create(text, voice=voice, speed=float(speed), lang=language(voice))
            write_wav(path, samples, rate)
            say(request + "\tok")
        except Exception as error:
            say(request + "\terror: " + clean(error or type(error).__name__))
    return 0


if __name__ == "__main__":
    sys.exit(main())

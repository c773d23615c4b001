#!/usr/bin/python3
# A stand-in for the `claude` tool, standard library only. It speaks the two
# ways the engine uses it: with --input-format stream-json it answers each
# user message with a system, an assistant and a result line; with -p alone it
# reads its input to the end and prints the answer.
#
# CLAUDE_STAND_IN_SCRIPT names a JSON file that shapes it:
#   "replies": [{"match": regex, "reply": text, "delay": s, "twice": bool}]
#   "default": the reply when nothing matches ("an answer")
#   "signin": true -> every result is a sign-in failure
#   "exit": "now" | "after-first" -> ends at once, or after the first answer
#   "silent": true -> never answers
#   "noise": true -> lines that are not JSON, JSON without type or result,
#                    and a result split across two writes
#   "huge": true -> a 10 MB line before each answer
# CLAUDE_STAND_IN_LOG names a file where it appends one JSON line for its
# arguments, folder and PATH, and one for each message it receives.
import json
import os
import re
import sys
import time

script = {}
if os.environ.get("CLAUDE_STAND_IN_SCRIPT"):
    with open(os.environ["CLAUDE_STAND_IN_SCRIPT"]) as f:
        script = json.load(f)


def log(entry):
    name = os.environ.get("CLAUDE_STAND_IN_LOG")
    if name:
        with open(name, "a") as f:
            f.write(json.dumps(entry) + "\n")


def answer(text):
    for rule in script.get("replies", []):
        if re.search(rule["match"], text, re.S):
            time.sleep(rule.get("delay", 0))
            return rule["reply"], rule.get("twice", False)
    return script.get("default", "an answer"), False


def put(text):
    sys.stdout.write(text)
    sys.stdout.flush()


log({"argv": sys.argv[1:], "cwd": os.getcwd(), "path": os.environ.get("PATH", "")})
if script.get("exit") == "now":
    sys.exit(1)

if "--input-format" not in sys.argv:
    question = sys.stdin.read()
    log({"message": question})
    if script.get("signin"):
        put("Invalid API key. Please run /login\n")
        sys.exit(1)
    reply, _ = answer(question)
    put(reply + "\n")
    sys.exit(0)

answered = 0
for raw in sys.stdin:
    message = json.loads(raw)
    text = message["message"]["content"][0]["text"]
    log({"message": text})
    if script.get("silent"):
        continue
    reply, twice = answer(text)
    if script.get("noise"):
        put("this is not json\n")
        put(json.dumps({"no": "type"}) + "\n")
        put(json.dumps({"type": "result"}) + "\n")
    if script.get("huge"):
        put("x" * (10 << 20) + "\n")
    put(json.dumps({"type": "system", "subtype": "init"}) + "\n")
    put(json.dumps({"type": "assistant", "message": {"content": [{"type": "text", "text": reply}]}}) + "\n")
    if script.get("signin"):
        result = {"type": "result", "subtype": "error", "is_error": True,
                  "result": "Failed to authenticate. API Error: 401"}
    else:
        result = {"type": "result", "subtype": "success", "is_error": False, "result": reply}
    line = json.dumps(result) + "\n"
    if script.get("noise"):
        put(line[:10])
        time.sleep(0.05)
        put(line[10:])
    else:
        put(line)
    if twice:
        put(line)
    answered += 1
    if script.get("exit") == "after-first" and answered == 1:
        sys.exit(0)

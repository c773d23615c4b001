# The two entry points: `make run` and `make test`. Both install what is
# missing (as root; otherwise they print the apt-get line), configure and build.

PACKAGES := cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
            nlohmann-json3-dev libasound2-dev libfftw3-dev \
            libspeechd-dev speech-dispatcher speech-dispatcher-espeak-ng \
            espeak-ng libespeak-ng-dev libfluidsynth-dev timgm6mb-soundfont clang \
            libglib2.0-dev fluid-soundfont-gm pulseaudio pulseaudio-utils sox \
            liblua5.4-dev lua5.4 libatspi2.0-dev at-spi2-core xclip wl-clipboard \
            libpulse-dev curl libgtkmm-3.0-dev libpocketsphinx-dev pocketsphinx-en-us
# For the tests only: the key check's peers, the MIDI files it reads, midicsv,
# which reads what we write, REAPER 6's Lua (5.3), which runs the bridge, and
# a headless desktop for the accessibility tests (a GTK app under Xvfb with a
# window manager and its own D-Bus session), two of Festival's voices to speak
# to the window's microphone; Node.js and npm only where the
# machine has none of its own.
TEST_PACKAGES := python3-mido python3-numpy openttd-openmsx planetblupi-music-midi midicsv lua5.3 \
                 xvfb xauth dbus-daemon matchbox-window-manager python3-gi gir1.2-gtk-3.0 \
                 gir1.2-atspi-2.0 festival festvox-us-slt-hts festvox-kallpc16k \
                 $(if $(shell command -v node),,nodejs) $(if $(shell command -v npm),,npm)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all deps test-deps build build-sanitize build-tsan run install test bench fuzz format clean

all: build

deps:
	@missing=""; \
	for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" = 0 ]; then \
	    echo "Installing:$$missing"; \
	    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing >/dev/null || exit 1; \
	  else \
	    echo "Some packages are missing. Run:"; \
	    echo "  sudo apt-get install -y$$missing"; \
	    exit 1; \
	  fi; \
	fi

build: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j $(JOBS)

build-sanitize: deps
	@cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DORVO_SANITIZE=ON -DORVO_BENCH=OFF >/dev/null
	@cmake --build build-sanitize -j $(JOBS)

# ThreadSanitizer, for the tests that run real threads (see tools/run-tests):
# only what those tests run is built (not the window or the desktop's tests,
# whose GTK and GLib are not built for it).
TSAN_TARGETS := orvo orvo-platform-tests orvo-apps-tests orvo-engine-tests orvo-lessons-tests \
                orvo-compose-tests orvo-sound-tests orvo-studio-tests orvo-voice-tests \
                orvo-window-tests orvo-e2e-tests orvo-kokoro-stand-in orvo-fake-reaper orvo-save-loop
build-tsan: deps
	@cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_TSAN=ON -DORVO_BENCH=OFF >/dev/null
	@cmake --build build-tsan -j $(JOBS) --target $(TSAN_TARGETS)

# With a desktop (DISPLAY or WAYLAND_DISPLAY) the window, which starts the
# engine; otherwise the engine in this terminal. ORVO_TERMINAL=1 chooses the
# terminal even on a desktop.
run: build
	@if [ -z "$$ORVO_TERMINAL" ] && { [ -n "$$DISPLAY" ] || [ -n "$$WAYLAND_DISPLAY" ]; }; then \
	  exec ./build/orvo-window; \
	else \
	  exec ./build/orvo; \
	fi

# The engine, the window and its menu entry under PREFIX (/usr/local by default).
PREFIX ?= /usr/local
install: build
	install -d $(DESTDIR)$(PREFIX)/bin $(DESTDIR)$(PREFIX)/share/applications
	install -m 0755 build/orvo build/orvo-window $(DESTDIR)$(PREFIX)/bin/
	install -m 0755 build/kokoro_server.py $(DESTDIR)$(PREFIX)/bin/
	install -m 0644 tools/orvo.desktop $(DESTDIR)$(PREFIX)/share/applications/orvo.desktop

test-deps:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(TEST_PACKAGES)"

# The sanitised copies are built by tools/run-tests, each while the tests of
# the copy before it run.
test: test-deps build
	@tools/run-tests build build-sanitize build-tsan

# The benchmarks also time the peers they are compared with (the fluidsynth
# command), and the live band beside two busy cores (stress-ng).
bench: build
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(TEST_PACKAGES) fluidsynth stress-ng \
	  festival festvox-us-slt-hts festvox-kallpc16k festvox-kdlpc16k"
	./build/bench/orvo-bench
	tools/desktop-session bench/window-memory build

# Fuzzes the MIDI parser, the MIDI file reader and the studio snapshot and
# understanding (clang's libFuzzer): FUZZ_RUNS inputs each for the first two,
# 5 million by default, and STUDIO_FUZZ_RUNS (a sentence takes far longer).
FUZZ_RUNS ?= 5000000
STUDIO_FUZZ_RUNS ?= 250000
fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) clang libclang-rt-14-dev"
	@CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_FUZZ=ON \
	  -DORVO_TESTS=OFF -DORVO_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target orvo-fuzz-midi orvo-fuzz-midi-file orvo-fuzz-studio \
	  orvo-fuzz-voice-wav
	@mkdir -p build-fuzz/corpus/midi-bytes build-fuzz/corpus/midi-file build-fuzz/corpus/studio \
	  build-fuzz/corpus/voice-wav
	./build-fuzz/fuzz/orvo-fuzz-midi -runs=$(FUZZ_RUNS) -max_len=64 build-fuzz/corpus/midi-bytes fuzz/corpus/midi-bytes
	./build-fuzz/fuzz/orvo-fuzz-midi-file -runs=$(FUZZ_RUNS) -max_len=4096 build-fuzz/corpus/midi-file fuzz/corpus/midi-file
	./build-fuzz/fuzz/orvo-fuzz-studio -runs=$(STUDIO_FUZZ_RUNS) -max_len=512 build-fuzz/corpus/studio fuzz/corpus/studio
	./build-fuzz/fuzz/orvo-fuzz-voice-wav -runs=$(FUZZ_RUNS) -max_len=2048 build-fuzz/corpus/voice-wav

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build build-sanitize build-tsan build-fuzz

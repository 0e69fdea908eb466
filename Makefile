# Entry points for people: everything goes through CMake in build/.
BUILD ?= build
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
XVFB_HINT = xvfb-run -a -s \"-screen 0 1280x1024x24 -noreset\" make run

.PHONY: all deps build run studio test capture asan soak clean bench web web-fps serve dist dist-check \
        farm-check docs-pictures windows dist-windows

all: build

deps:
	@./scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j$(JOBS)

run: build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "no display to open the window on; to play it headless, run: $(XVFB_HINT)"; \
	  exit 1; \
	fi
	@cd $(BUILD)/media && ../demo

# The studio on the generated media and the source tree's shaders; saved
# frames land in the folder make runs in. STUDIO_ARGS adds options.
studio: build
	@if [ -z "$$DISPLAY" ]; then \
	  echo "no display to open the studio on; run it inside: xvfb-run -a -s \"-screen 0 1280x1024x24 -noreset\" make studio"; \
	  exit 1; \
	fi
	@$(BUILD)/demo-studio --media $(BUILD)/media --shaders $(CURDIR)/gpu/shaders $(STUDIO_ARGS)

test: build web windows
	@cd $(BUILD) && ctest --output-on-failure -j2 -LE soak

# The whole presentation as a video with its music, a storyboard of the
# timeline's storyboard frames and the animated preview. The preview is a
# montage at the strip's full width of the moments that sell the piece: the
# title card, SPACE whole, LOVE whole, and the cut from the console to THE
# END, each clip written from the fade or cut that shows it, so moving it in
# presentation/timeline.txt moves the clip. README.md shows the same montage
# (docs-pictures draws it at PREVIEW_FPS too); the last step checks its size.
PREVIEW_CLIPS = 1:3,spaceIn+2:spaceIn+4.5,loveIn+5:loveIn+7.5,endPicture-1:endPicture+1.5
PREVIEW_FPS = 10
PREVIEW_MAX_BYTES = 3000000
capture: build
	@$(BUILD)/demo-capture --media $(BUILD)/media --video $(BUILD)/demo.mp4
	@$(BUILD)/demo-capture --media $(BUILD)/media --sheet $(BUILD)/storyboard.png --times storyboard
	@$(BUILD)/demo-capture --media $(BUILD)/media --gif $(BUILD)/preview.gif --size 960x89 \
	  --fps $(PREVIEW_FPS) --clips $(PREVIEW_CLIPS)
	@size=$$(stat -c %s $(BUILD)/preview.gif); [ $$size -le $(PREVIEW_MAX_BYTES) ] || \
	  { echo "$(BUILD)/preview.gif is $$size bytes, more than $(PREVIEW_MAX_BYTES)"; exit 1; }
	@echo "wrote $(BUILD)/demo.mp4, $(BUILD)/storyboard.png and $(BUILD)/preview.gif"

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
# The runtime's tracking of dynamic TLS (__tls_get_addr) can record a bogus
# range for a library loaded at run time, and the leak checker's tracer then
# crashes at exit ("Tracer caught signal 11"); leaks are still found without it.
ASAN_RUN_OPTIONS = detect_leaks=1:intercept_tls_get_addr=0
asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j$(JOBS)
	@cd build-asan && ASAN_OPTIONS=$(ASAN_RUN_OPTIONS) ctest --output-on-failure -j2 -LE soak

# The whole 130 s under the sanitizers with memory watched, and an event storm.
soak: build
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j$(JOBS) --target demo soak_long_run_test soak_event_storm_test
	@cd build-asan && DEMO_MEDIA_DIR=$(abspath $(BUILD))/media ctest -V -L soak

clean:
	rm -rf $(BUILD) build-asan

# Frame times of the presentation's programs against the literal ones, side
# by side, with their pixel agreement, start-up phases, capture throughput and
# a whole capture timed end to end.
bench: build
	@$(BUILD)/demo-bench --media $(BUILD)/media

# The presentation as a web page in $(BUILD)/web: the same code built with
# Debian's emscripten (its prebuilt system libraries are read-only), and the
# generated media beside it. Debian's emcc finds its acorn module through
# NODE_PATH when another node comes first on PATH.
WEB_ENV = NODE_PATH=/usr/share/nodejs
web: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BUILD) -j$(JOBS) --target media poster
	@$(WEB_ENV) emcmake cmake -S . -B $(BUILD)/web-build -DCMAKE_BUILD_TYPE=Release \
	  -DDEMO_WEB_DIR=$(abspath $(BUILD))/web -DDEMO_MEDIA_DIR=$(abspath $(BUILD))/media \
	  -DDEMO_POSTER=$(abspath $(BUILD))/poster.png >/dev/null
	@$(WEB_ENV) cmake --build $(BUILD)/web-build -j$(JOBS) --target web_page

# The page's frames in every second of the whole run in headless Chromium,
# beside demo-bench's native frame times at the same seconds (about 3 min).
web-fps: web
	@python3 tests/web/browser_test.py $(BUILD)/web $(BUILD)/demo-capture $(BUILD)/media \
	  --fps-run $(BUILD)/demo-bench

# Serves the page on this machine only; open the printed address and click.
PORT ?= 8000
serve: web
	@python3 tools/web/serve.py $(BUILD)/web $(PORT)

# The pictures of README.md and docs/, redrawn from the real programs: the
# preview and the storyboard by demo-capture, the studio panel by the studio
# test, the page's start screen in headless Chromium.
docs-pictures: build web
	@cd $(BUILD) && ctest -R '^studio_test$$' --output-on-failure
	@python3 scripts/docs-pictures.py $(BUILD) $(PREVIEW_CLIPS) $(PREVIEW_FPS) $(PREVIEW_MAX_BYTES)

# The release archive and the Debian package, into dist/, and the Windows zip.
dist: build dist-windows
	@cmake --build $(BUILD) --target dist

# The Windows build: the player cross-compiled with mingw-w64 against SDL,
# SDL_mixer, libpng, libjpeg-turbo, libogg and libvorbis built from Debian's
# source packages into $(BUILD)/windows-deps (once; later builds reuse them),
# zipped with the media generated by the native build and the DLLs.
WINDOWS_DEPS ?= $(BUILD)/windows-deps
windows: build
	@./scripts/install-deps.sh --windows
	@JOBS=$(JOBS) bash scripts/windows-deps.sh $(WINDOWS_DEPS)
	@cmake -S . -B $(BUILD)/windows-build -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
	  -DDEMO_WINDOWS_DEPS=$(abspath $(WINDOWS_DEPS))/prefix \
	  -DDEMO_MEDIA_DIR=$(abspath $(BUILD))/media >/dev/null
	@cmake --build $(BUILD)/windows-build -j$(JOBS)

# The zip, into dist/ beside the Linux archive and the .deb.
dist-windows: windows
	@cmake --build $(BUILD)/windows-build --target dist_windows

# The Debian package installed, played and removed in a clean Debian root
# (debootstrap, as root, with the network); slow, so not part of make test.
dist-check: dist
	@bash scripts/dist-check.sh $(abspath dist)

# A capture through a batch scheduler: a single-node Slurm started here (as
# root), a short 1080p range as a job array of 4 segments and a join job,
# checked against a one-piece capture; slow, so not part of make test.
farm-check: build
	@bash scripts/farm-check.sh $(BUILD)

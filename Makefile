# Entry points for people: everything goes through CMake in build/.
BUILD ?= build
MAKEFLAGS += --no-print-directory
JOBS ?= $(shell nproc)
XVFB_HINT = xvfb-run -a -s \"-screen 0 1280x1024x24 -noreset\" make run

.PHONY: all deps build run test capture asan soak clean bench dist dist-check

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

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2 -LE soak

# The whole presentation as a video with its music, a storyboard of the cue
# times and the animated preview that the README shows.
CUE_TIMES = 0,6,21,26,29,48,56,69,78,93,108,120.2,120.7,124,129.9
capture: build
	@$(BUILD)/demo-capture --media $(BUILD)/media --video $(BUILD)/demo.mp4
	@$(BUILD)/demo-capture --media $(BUILD)/media --sheet $(BUILD)/storyboard.png --times $(CUE_TIMES)
	@$(BUILD)/demo-capture --media $(BUILD)/media --gif $(BUILD)/preview.gif
	@echo "wrote $(BUILD)/demo.mp4, $(BUILD)/storyboard.png and $(BUILD)/preview.gif"

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j$(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2 -LE soak

# The whole 130 s under the sanitizers with memory watched, and an event storm.
soak: build
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j$(JOBS) --target demo soak_long_run_test soak_event_storm_test
	@cd build-asan && DEMO_MEDIA_DIR=$(abspath $(BUILD))/media ctest -V -L soak

clean:
	rm -rf $(BUILD) build-asan

# Frame times of the presentation's programs against the literal ones, side
# by side, with their pixel agreement, start-up phases and capture throughput.
bench: build
	@$(BUILD)/demo-bench --media $(BUILD)/media

# The release archive and the Debian package, into dist/.
dist: build
	@cmake --build $(BUILD) --target dist

# The Debian package installed, played and removed in a clean Debian root
# (debootstrap, as root, with the network); slow, so not part of make test.
dist-check: dist
	@bash scripts/dist-check.sh $(abspath dist)

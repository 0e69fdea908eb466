# Entry points for people: everything goes through CMake in build/.
BUILD ?= build
JOBS ?= $(shell nproc)
XVFB_HINT = xvfb-run -a -s "-screen 0 1280x1024x24" make run

.PHONY: all deps build run test asan clean

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
	@cd $(BUILD) && ctest --output-on-failure -j2

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
asan: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DDEMO_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j$(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j2

clean:
	rm -rf $(BUILD) build-asan

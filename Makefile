# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench package soak fuzz clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake --preset release

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Only what the desktop program needs: the tests and benchmarks wait for `make test`.
run: configure
	cmake --build $(BUILD_DIR) -j $(JOBS) --target velmora
	$(BUILD_DIR)/bin/velmora

test: build
	scripts/run-tests $(BUILD_DIR)

# The GUI benchmark renders for real: it gets a private Xvfb server when there is no display.
bench: build
	$(BUILD_DIR)/bin/velmora-bench
	$(BUILD_DIR)/bin/velmora-video-bench
	if [ -n "$$DISPLAY" ]; then $(BUILD_DIR)/bin/velmora-gui-bench; \
	else xvfb-run -a -s "-screen 0 1920x1080x24" $(BUILD_DIR)/bin/velmora-gui-bench; fi

# A Debian package of both programs, with the desktop entry, icon and man pages: build/velmora_*.deb.
package: build
	cd $(BUILD_DIR) && cpack

# Runs, re-set-ups and captures in the desktop program for MINUTES (default 10), reporting memory and handles.
MINUTES ?= 10
soak: build
	if [ -n "$$DISPLAY" ]; then $(BUILD_DIR)/bin/velmora-soak $(MINUTES); \
	else xvfb-run -a -s "-screen 0 1920x1080x24" $(BUILD_DIR)/bin/velmora-soak $(MINUTES); fi

# Every libFuzzer target for FUZZ_SECONDS each (default 300), from the checked-in seeds; see scripts/fuzz.
FUZZ_SECONDS ?= 300
fuzz: deps
	scripts/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR) build-sanitize build-fuzz

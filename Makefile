# The two commands of the README: `make run` and `make test`. Both install what is missing first.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	scripts/install-deps

configure: deps
	cmake --preset release

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/bin/velmora-sim run examples/default-scene.json --summary

test: build
	scripts/run-tests $(BUILD_DIR)

# The rendering benchmarks need a display: without one they run on a private Xvfb server.
bench: build
	if [ -n "$$DISPLAY" ]; then $(BUILD_DIR)/bin/velmora-bench; \
	else xvfb-run -a -s "-screen 0 1920x1080x24" $(BUILD_DIR)/bin/velmora-bench; fi

clean:
	rm -rf $(BUILD_DIR)

# make run   - install what is missing, build, and start Glimmer
# make test  - the same, then every test through CTest (headless)
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: all deps configure build run test clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/bin/glimmer

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 900

clean:
	rm -rf $(BUILD)

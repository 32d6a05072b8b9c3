# make run   - install what is missing, build, and start Glimmer
# make test  - the same, then every test through CTest (headless)
# make package - the Debian package, glimmer_VERSION_ARCH.deb
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# On Debian the build takes the package's own flags (dpkg-buildflags, every
# hardening feature on, as debian/rules asks): the tests run what the package
# ships, and the package's build in make test finds the same compiles in the
# compiler cache (when ccache is installed), which CCACHE_BASEDIR lets match
# wherever the folder lies and CCACHE_NOHASHDIR whatever the build folder is
# called (debug information may then name the other build's folder).
ifneq ($(shell command -v dpkg-buildflags 2>/dev/null),)
BUILDFLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=None \
	"-DCMAKE_CXX_FLAGS=$(shell $(BUILDFLAGS) CXXFLAGS) $(shell $(BUILDFLAGS) CPPFLAGS)" \
	"-DCMAKE_EXE_LINKER_FLAGS=$(shell $(BUILDFLAGS) LDFLAGS)"
else
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
endif
export CCACHE_BASEDIR ?= $(CURDIR)
export CCACHE_NOHASHDIR ?= 1
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps configure build run test bench install package check-sanitize fuzz clean

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=$(PREFIX)

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/bin/glimmer

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 900

bench: build
	scripts/run-benchmarks $(BUILD)

install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

# The Debian package, built by dpkg-buildpackage from a clean copy of the
# source in $(BUILD)/package; the .deb lands here.
package: deps
	JOBS=$(JOBS) scripts/make-package . $(BUILD)/package

check-sanitize: deps
	scripts/check-sanitize

fuzz: deps
	scripts/run-fuzzers

clean:
	rm -rf $(BUILD) build-sanitize build-fuzz

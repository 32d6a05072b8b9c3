# make run   - install what the program needs, build it (its help and its
#              players too), and start Glimmer
# make test  - install the rest, build everything (tests and benchmarks
#              too), then every test through CTest (headless)
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

.PHONY: all deps deps-run configure build program run test bench install package check-sanitize fuzz clean

all: build

deps:
	@scripts/install-deps

deps-run:
	@scripts/install-deps run

CONFIGURE = cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_INSTALL_PREFIX=$(PREFIX)

# One build folder: make run configures it without the tests and benchmarks
# (whose packages it does not install), make test and make build turn them on.
configure: deps
	@grep -qs '^GLIMMER_TESTS:BOOL=ON' $(BUILD)/CMakeCache.txt && grep -qs '^GLIMMER_BENCH:BOOL=ON' $(BUILD)/CMakeCache.txt || \
	  $(CONFIGURE) -DGLIMMER_TESTS=ON -DGLIMMER_BENCH=ON

build: configure
	cmake --build $(BUILD) -j$(JOBS)

# The program, its help, GLIMMER.BIN, GLIMMER.EXE and the manual pages.
program: deps-run
	@[ -f $(BUILD)/CMakeCache.txt ] || $(CONFIGURE) -DGLIMMER_TESTS=OFF -DGLIMMER_BENCH=OFF
	cmake --build $(BUILD) -j$(JOBS) --target glimmer glimmer_docs

run: program
	$(BUILD)/bin/glimmer

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 900

bench: build
	scripts/run-benchmarks $(BUILD)

install: program
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

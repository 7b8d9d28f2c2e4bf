# Entry points for a fresh Debian machine. Each target installs what it needs first.
#   make run    install, build and start the program
#   make test   install, build and pass every test
#   make package   install, build and make the Debian package (build/velmora_*.deb)
BUILD      ?= build
FUZZBUILD  ?= build-fuzz
JOBS       ?= $(shell nproc)
CTEST_ARGS ?=

.PHONY: all deps build run test unit fuzz-build fuzz-smoke bench package clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(BUILD)/velmora

# The package is made from the build folder as it stands: nothing is compiled twice.
package: build
	cd $(BUILD) && cpack -G DEB

# Widget tests run offscreen (set per test); the end-to-end tests labelled "xvfb" use the
# X server that the test script starts.
unit: build
	tools/run-tests.sh $(BUILD) none $(CTEST_ARGS)

$(FUZZBUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	    -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF

# A few seconds of each fuzz target on its seed corpus.
fuzz-build: deps $(FUZZBUILD)/build.ninja
	cmake --build $(FUZZBUILD) -j $(JOBS) --target fuzz_all

fuzz-smoke: fuzz-build
	tools/fuzz-smoke.sh $(FUZZBUILD) 5

test: build fuzz-build
	tools/run-tests.sh $(BUILD) $(FUZZBUILD) $(CTEST_ARGS)

bench: build
	tools/run-bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(FUZZBUILD)

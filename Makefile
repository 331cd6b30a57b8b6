# The README's two commands: `make run` (the main job) and `make test` (the
# whole suite). Both install what is missing, configure and build first.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
JOBS       ?= 2
CMAKE_ARGS ?=

.PHONY: all setup build run test test-asan fuzz bench interop clean

all: build

setup:
	@bash scripts/setup.sh

$(BUILD)/build.ninja:
	@echo "kova: configuring $(BUILD)/; the first build takes a few minutes" >&2
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS) >/dev/null

build: setup $(BUILD)/build.ninja
	@cmake --build $(BUILD) -j $(JOBS) -- --quiet

run: build
	@bash scripts/run-example.sh $(BUILD)/bin/kova

test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

$(BUILD_ASAN)/build.ninja:
	@cmake -S . -B $(BUILD_ASAN) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOVA_SANITIZE=ON -DKOVA_BENCH=OFF >/dev/null

test-asan: setup $(BUILD_ASAN)/build.ninja
	@cmake --build $(BUILD_ASAN) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(BUILD_ASAN) --output-on-failure -j $(JOBS)

$(BUILD_FUZZ)/build.ninja:
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKOVA_FUZZ=ON -DKOVA_BENCH=OFF -DKOVA_WERROR=OFF >/dev/null

# Runs every fuzz target for FUZZ_SECONDS seconds on its seed corpus.
FUZZ_SECONDS ?= 30
fuzz: setup $(BUILD_FUZZ)/build.ninja
	@cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzzers
	@bash scripts/run-fuzz.sh $(BUILD_FUZZ)/bin $(FUZZ_SECONDS)

bench: build
	@bash scripts/run-bench.sh $(BUILD)/bin

# What kova writes the peer database reads to the same values, and the other
# way round; binary records burned and ripped back (scripts/run-interop.sh).
interop: build
	@bash scripts/run-interop.sh $(BUILD)/bin/kova

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ)

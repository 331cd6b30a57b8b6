# The README's two commands: `make run` (the main job) and `make test` (the
# whole suite). Both install what is missing, configure and build first.
BUILD      ?= build
BUILD_ASAN ?= build-asan
BUILD_FUZZ ?= build-fuzz
BUILD_TSAN ?= build-tsan
BUILD_COV  ?= build-cov
JOBS       ?= 2
CMAKE_ARGS ?=

.PHONY: all setup build run test test-asan test-tsan fuzz coverage bench interop lint format clean

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

# ThreadSanitizer: only the parallel tests (splits, jobs) and what they run.
$(BUILD_TSAN)/build.ninja:
	@cmake -S . -B $(BUILD_TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_TSAN=ON \
	  -DKOVA_BENCH=OFF $(CMAKE_ARGS) >/dev/null

test-tsan: setup $(BUILD_TSAN)/build.ninja
	@cmake --build $(BUILD_TSAN) -j $(JOBS) --target test_splits
	@TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  GTEST_FILTER='OrderedJobs*:ParallelRip*:SplitToolTest.ParallelRip*' \
	  ctest --test-dir $(BUILD_TSAN) --output-on-failure -R '^splits$$'

$(BUILD_FUZZ)/build.ninja:
	@CC=clang CXX=clang++ cmake -S . -B $(BUILD_FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DKOVA_FUZZ=ON -DKOVA_BENCH=OFF -DKOVA_WERROR=OFF >/dev/null

# Runs every fuzz target for FUZZ_SECONDS seconds on its seed corpus.
FUZZ_SECONDS ?= 30
fuzz: setup $(BUILD_FUZZ)/build.ninja
	@cmake --build $(BUILD_FUZZ) -j $(JOBS) --target fuzzers
	@bash scripts/run-fuzz.sh $(BUILD_FUZZ)/bin $(FUZZ_SECONDS) $(JOBS)

$(BUILD_COV)/build.ninja:
	@cmake -S . -B $(BUILD_COV) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKOVA_COVERAGE=ON -DKOVA_BENCH=OFF \
	  $(CMAKE_ARGS) >/dev/null

# The whole suite in an instrumented build, then line and branch coverage
# per folder. The gcov runtime linked into the module imports the allocator,
# so the test that the module imports none is left out here.
coverage: setup $(BUILD_COV)/build.ninja
	@cmake --build $(BUILD_COV) -j $(JOBS) -- --quiet
	@find $(BUILD_COV) -name '*.gcda' -delete
	@GTEST_FILTER=-ModuleBinary.ImportsNoAllocator ctest --test-dir $(BUILD_COV) -j $(JOBS) \
	  --output-on-failure
	@python3 scripts/coverage.py $(BUILD_COV)

# Source layout is kept by clang-format (.clang-format); lint fails on any
# file that differs from it, format rewrites them in place.
FORMAT_FILES = $(shell git ls-files '*.cc' '*.h' '*.c' | grep -v '^tests/abi/layouts.inc$$')
lint: setup
	@clang-format --dry-run -Werror $(FORMAT_FILES)
	@echo "lint: $(words $(FORMAT_FILES)) files formatted as .clang-format says"

format: setup
	@clang-format -i $(FORMAT_FILES)

bench: build
	@bash scripts/run-bench.sh $(BUILD)/bin

# What kova writes the peer database reads to the same values, and the other
# way round; binary records burned and ripped back (scripts/run-interop.sh).
interop: build
	@bash scripts/run-interop.sh $(BUILD)/bin/kova

clean:
	rm -rf $(BUILD) $(BUILD_ASAN) $(BUILD_FUZZ) $(BUILD_TSAN) $(BUILD_COV)

# The two commands people run: `make demo` and `make test`. `make bench` measures.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# The test builds compile a few sources as one (CMake's unity build): each header is parsed once
# a batch instead of once a file, which roughly halves the CPU time of a build from nothing.
# UNITY=OFF builds file by file (quicker to rebuild after a one-file change).
UNITY ?= ON
TEST_FLAGS = -DCMAKE_UNITY_BUILD=$(UNITY) $(CMAKE_FLAGS)
BUILD := build/release
ASAN := build/asan
TSAN := build/tsan
FUZZ := build/fuzz
CTEST := ctest --output-on-failure --no-tests=error -j $(JOBS)

.PHONY: all deps build demo test test-release test-install test-asan test-tsan test-fuzz bench clean format

all: build

deps:
	@scripts/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	$(BUILD)/host/vellumine --demo

test: deps
	@$(MAKE) --no-print-directory test-release test-install test-asan test-tsan test-fuzz
	@echo "all tests passed (release, install, asan+ubsan, tsan, fuzz)"

test-release: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && $(CTEST)

# Installs the release build into a temporary prefix and builds and runs examples/embed on it.
test-install: test-release
	BUILD_DIR=$(BUILD) JOBS=$(JOBS) scripts/check-install

test-asan:
	cmake -S . -B $(ASAN) -DCMAKE_BUILD_TYPE=Debug -DVELLUMINE_SANITIZE=address -DVELLUMINE_BENCH=OFF $(TEST_FLAGS)
	cmake --build $(ASAN) -j $(JOBS) --target all_tests
	cd $(ASAN) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$(CURDIR)/cmake/lsan.supp UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 $(CTEST) -LE 'fuzz|e2e'

test-tsan:
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DVELLUMINE_SANITIZE=thread -DVELLUMINE_BENCH=OFF $(TEST_FLAGS)
	cmake --build $(TSAN) -j $(JOBS) --target threaded_tests
	cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 $(CTEST) -L threaded

test-fuzz:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLUMINE_FUZZ=ON -DVELLUMINE_BENCH=OFF $(TEST_FLAGS)
	cmake --build $(FUZZ) -j $(JOBS) --target all_fuzzers
	cd $(FUZZ) && $(CTEST) -L fuzz

bench: build
	@scripts/install-deps --bench
	BUILD_DIR=$(BUILD) bench/run

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build

# Entry points: `make run` and `make test` install what is missing, build, then run.
# `make check` is what CI runs: the tests, the sanitizer suite, a short run of every fuzzer and
# cppcheck.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 300
CHECK_FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)
# The build tool of the generated tree is make as well: keep its directory chatter out of the log.
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release
# ccache when present; paths below the tree count as relative, so clones share the cache.
ifneq ($(shell command -v ccache),)
CMAKE_FLAGS += -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
export CCACHE_BASEDIR ?= $(CURDIR)
endif
ASAN_FLAGS = $(CMAKE_FLAGS) -DORVEX_SANITIZE=ON -DORVEX_BUILD_BENCH=OFF
# Leaks count as failures; the first finding of either sanitizer ends the test.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp

.PHONY: all deps configure build run test bench package clean asan-test fuzz-build fuzz fuzz-check cppcheck check

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The Debian package of mlrcalc and mlrreport (CPack), written into the build directory.
package: build
	cmake --build $(BUILD_DIR) --target package

run: deps build
	bash scripts/run-app.sh $(BUILD_DIR)

test: deps build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: deps build
	bash scripts/run-bench.sh $(BUILD_DIR)

# The whole suite, widget tests included, under AddressSanitizer and UndefinedBehaviorSanitizer.
$(ASAN_DIR)/CMakeCache.txt:
	cmake -S . -B $(ASAN_DIR) $(ASAN_FLAGS)

asan-test: deps $(ASAN_DIR)/CMakeCache.txt
	$(SANITIZER_ENV) cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS) --timeout 300

fuzz-build: deps
	JOBS=$(JOBS) bash fuzz/build.sh $(CURDIR)/$(FUZZ_DIR)

# Every fuzzer for FUZZ_SECONDS each, JOBS at a time.
fuzz: fuzz-build
	JOBS=$(JOBS) FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh $(CURDIR)/$(FUZZ_DIR)

fuzz-check: fuzz-build
	JOBS=$(JOBS) FUZZ_SECONDS=$(CHECK_FUZZ_SECONDS) bash fuzz/run.sh $(CURDIR)/$(FUZZ_DIR)

cppcheck: deps configure
	bash scripts/cppcheck.sh $(BUILD_DIR)

check: test asan-test fuzz-check cppcheck
	@echo "make check: tests, sanitizer suite, fuzzers and cppcheck passed"

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(FUZZ_DIR)

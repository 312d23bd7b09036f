# Entry points: `make run` and `make test` install what is missing, build, then run.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
# The build tool of the generated tree is make as well: keep its directory chatter out of the log.
MAKEFLAGS += --no-print-directory
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD_DIR)/CMakeCache.txt:
	cmake -S . -B $(BUILD_DIR) $(CMAKE_FLAGS)

configure: $(BUILD_DIR)/CMakeCache.txt

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: deps build
	bash scripts/run-app.sh $(BUILD_DIR)

test: deps build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: deps build
	bash scripts/run-bench.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)

# SPDX-License-Identifier: MIT
# Two commands do everything: `make run` and `make test`. Both install any
# missing Debian packages first, then configure and build with CMake.
# Also here: `make bench`, `make package` and `make lint`.
BUILD_DIR  := build
ASAN_DIR   := build/asan
MAKEFLAGS  += --no-print-directory
JOBS       := $(shell nproc 2>/dev/null || echo 2)
CMAKE_ARGS := -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_WERROR=ON

.PHONY: all deps build run test test-asan lint bench package clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD_DIR) $(CMAKE_ARGS) >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)

test: build lint test-asan
	@scripts/with-xvfb.sh ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# clang-format, clang-tidy and cppcheck; part of make test.
lint: build
	@scripts/lint.sh $(BUILD_DIR)

# Our own code's CPU cost against no-op GL, then the viewer on the real stack.
bench: build
	@$(BUILD_DIR)/bench/code_bench
	@scripts/with-xvfb.sh $(BUILD_DIR)/bench/frame_cost $(BUILD_DIR)/quillmere $(BUILD_DIR)/bench/empty_window

# A .deb in build/, with the binary, man page, desktop entry and icon.
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# The display-free tests again, built with AddressSanitizer and UBSan.
test-asan: deps
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUILLMERE_WERROR=ON -DQUILLMERE_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD_DIR)

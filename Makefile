# SPDX-License-Identifier: MIT
# Two commands do everything: `make run` and `make test`. Each installs the
# Debian packages its purpose needs (scripts/install-deps.sh), then
# configures and builds with CMake. Also here: lint, bench and package.
BUILD_DIR  := build
ASAN_DIR   := build/asan
CROSS_DIR  := build/cross
NATIVE_DIR := build/native
CLANG_DIR  := build/clang
RELEASE    ?= trixie
JOBS      := $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory
# New build trees use Ninja (from the build package list); a tree configured
# before keeps the generator it was made with.
export CMAKE_GENERATOR := Ninja

.PHONY: run test lint bench package test-asan test-cross test-clang test-release clean

# Configures the build tree on first use without the tests, whose packages
# only make test installs; a tree that make test configured keeps them.
CONFIGURE := test -f $(BUILD_DIR)/CMakeCache.txt || cmake -S . -B $(BUILD_DIR) -DBUILD_TESTING=OFF >/dev/null

# The viewer alone, and without a usable display the screenshot tool.
run:
	@scripts/run.sh $(BUILD_DIR)

# Everything, warnings as errors: static checks, the display-free tests
# under the sanitizers, then the whole CTest suite on a private Xvfb.
test:
	@scripts/install-deps.sh build display headless test lint package
	@cmake -S . -B $(BUILD_DIR) -DBUILD_TESTING=ON -DQUILLMERE_WERROR=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@scripts/lint.sh $(BUILD_DIR)
	@$(MAKE) test-asan
	@scripts/with-xvfb.sh scripts/ctest-all.sh $(BUILD_DIR) -j $(JOBS)

# clang-format, clang-tidy and cppcheck.
lint:
	@scripts/install-deps.sh build lint
	@$(CONFIGURE)
	@scripts/lint.sh $(BUILD_DIR)

# The display-free tests again, built with AddressSanitizer and UBSan.
test-asan:
	@scripts/install-deps.sh build test
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUILLMERE_WERROR=ON -DQUILLMERE_DISPLAY_FREE=ON \
	  -DQUILLMERE_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  scripts/ctest-all.sh $(ASAN_DIR) -j $(JOBS)

# The display-free tests built for arm64 and run under qemu-user, with
# floating-point contraction allowed; then the whole call stream printed on
# arm64 and on this machine, which must be the same bytes.
test-cross:
	@scripts/install-deps.sh build test cross
	@cmake -S . -B $(CROSS_DIR) --toolchain cmake/aarch64-linux-gnu.cmake -DQUILLMERE_DISPLAY_FREE=ON \
	  -DQUILLMERE_WERROR=ON -DQUILLMERE_GTEST_SOURCE_DIR=/usr/src/googletest \
	  -DCMAKE_CXX_FLAGS=-ffp-contract=fast >/dev/null
	@cmake --build $(CROSS_DIR) -j $(JOBS)
	@scripts/ctest-all.sh $(CROSS_DIR) -j $(JOBS)
	@cmake -S . -B $(NATIVE_DIR) -DQUILLMERE_DISPLAY_FREE=ON >/dev/null
	@cmake --build $(NATIVE_DIR) -j $(JOBS) --target call_stream_dump
	@$(NATIVE_DIR)/tests/call_stream_dump >$(CROSS_DIR)/stream-native.txt
	@qemu-aarch64 -L /usr/aarch64-linux-gnu $(CROSS_DIR)/tests/call_stream_dump >$(CROSS_DIR)/stream-arm64.txt
	@cmp $(CROSS_DIR)/stream-native.txt $(CROSS_DIR)/stream-arm64.txt
	@echo "arm64 records the same call stream as this machine, bit for bit"

# Everything built by Clang with warnings as errors; the display-free tests run.
test-clang:
	@scripts/install-deps.sh build headless test bench clang
	@cmake -S . -B $(CLANG_DIR) -DCMAKE_CXX_COMPILER=clang++ -DBUILD_TESTING=ON -DQUILLMERE_BENCHMARKS=ON \
	  -DQUILLMERE_WERROR=ON >/dev/null
	@cmake --build $(CLANG_DIR) -j $(JOBS)
	@scripts/ctest-all.sh $(CLANG_DIR) -j $(JOBS) -E '^(e2e[.]|package$$)'

# make run and make test in a fresh minimal root of a Debian release, as
# root: make test-release RELEASE=bookworm (trixie by default).
test-release:
	@scripts/install-deps.sh release
	@scripts/test-release.sh $(RELEASE)

# Our own code's CPU cost against no-op GL, then the viewer on the real stack.
bench:
	@scripts/install-deps.sh build headless bench
	@$(CONFIGURE)
	@cmake -S . -B $(BUILD_DIR) -DQUILLMERE_BENCHMARKS=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target code_bench frame_cost empty_window quillmere
	@$(BUILD_DIR)/bench/code_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	@scripts/with-xvfb.sh $(BUILD_DIR)/bench/frame_cost $(BUILD_DIR)/quillmere $(BUILD_DIR)/bench/empty_window

# build/quillmere_<version>_amd64.deb, built by debhelper from a copy of the tree.
package:
	@scripts/install-deps.sh build package
	@scripts/package.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)

# SPDX-License-Identifier: MIT
# Two commands do everything: `make run` and `make test`. Each installs the
# Debian packages its purpose needs (scripts/install-deps.sh), then
# configures and builds with CMake. Also here: lint, bench and package.
BUILD_DIR := build
ASAN_DIR  := build/asan
JOBS      := $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

.PHONY: run test lint bench package test-asan clean

# Configures the build tree on first use without the tests, whose packages
# only make test installs; a tree that make test configured keeps them.
CONFIGURE := test -f $(BUILD_DIR)/CMakeCache.txt || cmake -S . -B $(BUILD_DIR) -DBUILD_TESTING=OFF >/dev/null

# The viewer alone.
run:
	@scripts/install-deps.sh build
	@$(CONFIGURE)
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target quillmere
	@scripts/run.sh $(BUILD_DIR)

# Everything, warnings as errors: static checks, the display-free tests
# under the sanitizers, then the whole CTest suite on a private Xvfb.
test:
	@scripts/install-deps.sh build display headless test lint package
	@cmake -S . -B $(BUILD_DIR) -DBUILD_TESTING=ON -DQUILLMERE_WERROR=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@scripts/lint.sh $(BUILD_DIR)
	@$(MAKE) test-asan
	@scripts/with-xvfb.sh ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# clang-format, clang-tidy and cppcheck.
lint:
	@scripts/install-deps.sh build lint
	@$(CONFIGURE)
	@scripts/lint.sh $(BUILD_DIR)

# The display-free tests again, built with AddressSanitizer and UBSan.
test-asan:
	@scripts/install-deps.sh build test
	@cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DQUILLMERE_WERROR=ON -DQUILLMERE_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_DIR) -j $(JOBS)
	@ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --test-dir $(ASAN_DIR) --output-on-failure -j $(JOBS)

# Our own code's CPU cost against no-op GL, then the viewer on the real stack.
bench:
	@scripts/install-deps.sh build headless bench
	@$(CONFIGURE)
	@cmake -S . -B $(BUILD_DIR) -DQUILLMERE_BENCHMARKS=ON >/dev/null
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target code_bench frame_cost empty_window quillmere
	@$(BUILD_DIR)/bench/code_bench
	@scripts/with-xvfb.sh $(BUILD_DIR)/bench/frame_cost $(BUILD_DIR)/quillmere $(BUILD_DIR)/bench/empty_window

# build/quillmere_<version>_amd64.deb, built by debhelper from a copy of the tree.
package:
	@scripts/install-deps.sh build package
	@scripts/package.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)

# SPDX-License-Identifier: MIT
# The make targets. Each installs the Debian packages its purpose needs
# (scripts/install-deps.sh), then configures and builds with one of CMake's
# presets, each in a tree of its own under build/. What each target checks,
# and when to run it, is in CONTRIBUTING.md.
# The clone this Makefile is in. Run from another directory (make -f
# CLONE/Makefile), its targets run in the clone, as with make -C CLONE.
TOP := $(shell cd "$$(dirname -- '$(strip $(MAKEFILE_LIST))')" && pwd -P)
ifneq ($(TOP),$(CURDIR))
$(firstword $(MAKECMDGOALS) elsewhere):
	@$(MAKE) -C '$(TOP)' $(MAKECMDGOALS)
$(wordlist 2,$(words $(MAKECMDGOALS)),$(MAKECMDGOALS)):
	@:
.PHONY: elsewhere $(MAKECMDGOALS)
else
# The Debian releases, each CODENAME:ROLE, and those of each role.
include releases.mk
release_role = $(word 2,$(subst :, ,$(filter $(1):%,$(RELEASES))))
release_names = $(strip $(foreach r,$(RELEASES),$(if $(filter $(1),$(word 2,$(subst :, ,$r))),$(word 1,$(subst :, ,$r)))))
CODENAMES := $(foreach r,$(RELEASES),$(word 1,$(subst :, ,$r)))
STABLE    := $(call release_names,stable)
OLDSTABLE := $(call release_names,oldstable)
NEWER     := $(filter-out $(STABLE) $(OLDSTABLE),$(CODENAMES))
ifneq ($(words $(STABLE)),1)
$(error releases.mk must name one stable release)
endif

RELEASE ?= $(STABLE)
JOBS    := $(shell nproc 2>/dev/null || echo 2)
MAKEFLAGS += --no-print-directory

# Configures and builds a preset's tree: $(call preset,NAME[,TARGETS]).
preset = scripts/configure.sh $(1) >/dev/null && cmake --build build/$(1) -j $(JOBS) $(if $(2),--target $(2))

# Debian's QA jobs: those on stable's package, a build for oldstable, and
# stable's package under each newer release's lintian.
QA_JOBS := qa-source qa-build $(OLDSTABLE:%=qa-build-%) qa-lintian $(NEWER:%=qa-lintian-%) \
           qa-blhc qa-reprotest qa-autopkgtest qa-piuparts qa-cross

# A line of a CI step's recipe: $(call step,COMMANDS). Under make ci
# (CI_LOGS set) its output and time are kept in $(CI_LOGS)/STEP.log and
# STEP.time, STEP the target's name, and the log is shown whole if it fails
# (scripts/ci-step.sh); elsewhere COMMANDS run as they are.
step = $(if $(CI_LOGS),scripts/ci-step.sh "$(CI_LOGS)" $(notdir $(basename $@)) sh -c '$(subst ','\'',$(1))',$(1))

.PHONY: run test check lint bench package package-windows package-web test-asan test-cross test-clang test-windows \
        web run-web test-web bench-web test-release qa $(QA_JOBS) ci ci-packages \
        $(CODENAMES:%=release-%) $(CODENAMES:%=lint-%) clean distclean

# The viewer alone, and without a usable display the screenshot tool:
# build/run/quillmere, and build/quillmere.png without a display.
run:
	@scripts/run.sh

# Every test (CONTRIBUTING.md#checks): the display-free tests, the same
# under AddressSanitizer and UBSan, then the whole CTest suite on a private
# Xvfb. PACKAGE names a .deb of this tree, built elsewhere, for the package
# check to check instead of building one. The static checks are make lint's.
test:
	@scripts/install-deps.sh build display headless unit test package
	@scripts/configure.sh test -DQUILLMERE_PACKAGE='$(PACKAGE)' >/dev/null
	@cmake --build build/test -j $(JOBS)
	@$(MAKE) test-asan
	@scripts/with-xvfb.sh scripts/ctest-no-skips.sh build/test -j $(JOBS)

# The one-minute loop: the unit and call-stream tests, under AddressSanitizer
# and UBSan, then the line that runs the rest.
check: test-asan
	@echo "The display-free tests passed. Before you commit: make lint, for the static checks, and"
	@echo "make test, for the end-to-end tests and the package"

# The static checks (CONTRIBUTING.md#checks): clang-format, clang-tidy,
# cppcheck and shellcheck, with the compile commands of a tree of its own
# (build/lint), file by file; node's syntax check and ESLint on the
# JavaScript; and the docs against the tree.
lint:
	@scripts/install-deps.sh build headless unit lint bench npm
	@scripts/configure.sh lint >/dev/null
	@scripts/lint.sh build/lint

# The display-free tests again, built with AddressSanitizer and UBSan.
test-asan:
	@scripts/install-deps.sh build unit
	@$(call preset,asan)
	@ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  scripts/ctest-no-skips.sh build/asan -j $(JOBS)

# The display-free tests built for arm64 and run under qemu-user, with
# floating-point contraction allowed; then the whole call stream printed on
# arm64 and on this machine, which must be the same bytes.
test-cross:
	@$(call step,scripts/install-deps.sh build unit cross)
	@$(call step,$(call preset,cross))
	@$(call step,scripts/ctest-no-skips.sh build/cross -j $(JOBS))
	@$(call step,$(call preset,native,call_stream_dump))
	@$(call step,build/native/tests/call_stream_dump >build/cross/stream-native.txt)
	@$(call step,qemu-aarch64 -L /usr/aarch64-linux-gnu build/cross/tests/call_stream_dump >build/cross/stream-arm64.txt)
	@$(call step,cmp build/cross/stream-native.txt build/cross/stream-arm64.txt)
	@$(call step,echo "arm64 records the same call stream as this machine: bit for bit")

# Everything built by Clang with warnings as errors; the display-free tests run.
test-clang:
	@$(call step,scripts/install-deps.sh build headless unit bench clang)
	@$(call step,$(call preset,clang))
	@$(call step,scripts/ctest-no-skips.sh build/clang -j $(JOBS) -E '^(e2e|platform)[.]|^package$$')

# The viewer for 64-bit Windows, cross-built against freeglut from Debian's
# source package: its display-free tests and its call stream under Wine, its
# window and frames under Wine beside the Linux viewer's, and its zip.
test-windows:
	@$(call step,scripts/install-deps.sh build headless unit test windows wine)
	@$(call step,scripts/test-windows.sh)

# build/quillmere-<version>-windows-x86_64.zip, for Windows users.
package-windows:
	@scripts/install-deps.sh build windows
	@scripts/package-windows.sh

# The viewer as a static page, built by Debian's Emscripten:
# build/web/site/ holds all a static host serves.
web:
	@scripts/install-deps.sh web
	@$(call preset,web,quillmere)

# build/quillmere-<version>-web.zip: the site in a folder, for a visitor to
# open from disk or a host to serve.
package-web:
	@scripts/install-deps.sh web package-web
	@scripts/package-web.sh

# The page served on this machine's loopback interface until Ctrl-C.
run-web: web
	@scripts/serve-web.sh build/web/site

# The page's display-free tests under node, its call stream against this
# machine's, its bytes and its zip's from another path, and the page in
# Chromium and Firefox beside the Linux viewer (scripts/test-web.sh).
test-web:
	@$(call step,scripts/install-deps.sh build headless unit test web package-web browsers npm)
	@$(call step,scripts/test-web.sh)

# The README's commands in a fresh minimal root of a Debian release, as
# root: make test-release RELEASE=bookworm (stable's by default); with
# PACKAGE, that .deb is the one make test checks and apt installs there.
test-release: build/roots/$(RELEASE).tar
	@scripts/install-deps.sh release
	@scripts/test-release.sh $(RELEASE) $(PACKAGE)

# Debian's QA tools on the package, each in a throwaway root (as root;
# docs/package.md says what each job runs), each after the jobs whose output
# it reads and the roots it enters.
qa: $(QA_JOBS)
qa-source: build/roots/$(STABLE)-buildd.tar
qa-build $(OLDSTABLE:%=qa-build-%) qa-reprotest: qa-source
qa-cross: qa-source build/roots/$(STABLE)-cross.tar
qa-lintian qa-blhc qa-autopkgtest: qa-build
qa-piuparts: qa-build build/roots/$(STABLE)-minbase.tar
$(foreach r,$(OLDSTABLE),$(eval qa-build-$r: build/roots/$r-buildd.tar))
$(foreach r,$(NEWER),$(eval qa-lintian-$r: qa-build build/roots/$r.tar))
# qa-JOB, or qa-JOB-RELEASE for a release other than stable.
$(QA_JOBS):
	@$(call step,scripts/install-deps.sh release)
	@$(call step,scripts/debian-qa.sh $(word 1,$(subst -, ,$(@:qa-%=%))) $(STABLE) $(word 2,$(subst -, ,$(@:qa-%=%))))

# Throwaway Debian roots (scripts/make-root.sh), each a tar made from the
# one it derives from by adding what its rule names: a release's base is
# mmdebstrap's apt variant, its archives as its role has them. They are
# kept in build/roots/, which make clean leaves; make builds each once,
# however many steps enter it.
.PRECIOUS: build/roots/%-base.tar build/roots/%-minbase.tar build/roots/%-buildd.tar \
          build/roots/%-cross.tar build/roots/%.tar
build/roots/%-base.tar:
	@$(call step,scripts/install-deps.sh release)
	@$(call step,scripts/make-root.sh $@ $(call release_role,$*))
# mmdebstrap's minbase variant, piuparts' clean root: every package of
# priority required.
build/roots/%-minbase.tar: build/roots/%-base.tar
	@$(call step,scripts/make-root.sh $@ $< '?priority(required)')
# Its buildd variant: minbase and build-essential.
build/roots/%-buildd.tar: build/roots/%-minbase.tar
	@$(call step,scripts/make-root.sh $@ $< build-essential)
# A buildd root that can install packages for arm64.
build/roots/%-cross.tar: build/roots/%-buildd.tar
	@$(call step,scripts/make-root.sh $@ $< --arch arm64)
# What a new user has: apt, git and make, and the certificates git needs.
build/roots/%.tar: build/roots/%-base.tar
	@$(call step,scripts/make-root.sh $@ $< git make ca-certificates)

# CI's run of the README's commands in each release's fresh minimal root
# (scripts/test-release.sh): stable's and oldstable's are handed the
# package of their QA build, and oldstable's runs as an ordinary user, who
# is shown the command to run as root; the newer ones build their own.
define release_run
release-$(1): $(if $(filter $(1),$(STABLE)),qa-build,$(if $(filter $(1),$(OLDSTABLE)),qa-build-$(1))) build/roots/$(1).tar
	@$$(call step,scripts/test-release.sh $(if $(filter $(1),$(OLDSTABLE)),--as-user) $(1) $(if $(filter $(1),$(STABLE) $(OLDSTABLE)),build/qa/build-$(1)/quillmere_*.deb))
endef
$(foreach r,$(CODENAMES),$(eval $(call release_run,$r)))

# make lint in a fresh minimal root of a Debian release, as root, with
# that release's tools (scripts/test-release.sh --lint): make
# lint-CODENAME. CI runs it once, with stable's, the versions the tree is
# held to.
$(foreach r,$(CODENAMES),$(eval lint-$r: build/roots/$r.tar ; @$$(call step,scripts/test-release.sh --lint $r)))

# CI: every step, two at a time under .ci/run (make -j2 -O ci
# CI_LOGS=build/ci), which installs mmdebstrap's packages first. In each
# pass over this list make starts what is ready, in its order, and comes
# back to what still waited only in the next pass. The longest steps come
# first, the short ones last, so that neither lane waits long at the end
# for the other. Beyond that the order matters little: the steps keep both
# processors busy, so CI takes about their processor time over two
# (docs/testing.md#ci).
ci: $(NEWER:%=release-%) test-web $(STABLE:%=release-%) $(STABLE:%=lint-%) test-windows \
    $(OLDSTABLE:%=release-%) $(QA_JOBS) test-clang test-cross
	@echo "CI: every step passed"
ifdef CI_LOGS
test-web test-windows test-cross test-clang: ci-packages
endif
ci-packages:
	@$(call step,scripts/install-deps.sh build headless unit test bench cross clang windows wine web package-web browsers npm)

# Our own code's CPU cost against no-op GL, then the viewer on the real stack.
bench:
	@scripts/install-deps.sh build headless bench
	@$(call preset,bench)
	@build/bench/bench/code_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
	@scripts/with-xvfb.sh build/bench/bench/frame_cost build/bench/quillmere build/bench/bench/empty_window

# The static page in headless Chromium: its first frame and a frame's cost,
# measured through puppeteer-core (bench/page_cost.js).
bench-web: web
	@scripts/install-deps.sh browsers npm
	@NODE_PATH=build/npm/node_modules node bench/page_cost.js build/web/site

# build/quillmere_<version>_<arch>.deb, built by debhelper from a copy of the tree.
package:
	@scripts/install-deps.sh build package
	@scripts/package.sh build

# Every build tree; the cached Debian roots (build/roots/) stay, as they
# take minutes and downloads to make again. distclean removes them too.
clean:
	find build -mindepth 1 -maxdepth 1 ! -name roots -exec rm -rf {} + 2>/dev/null || true

distclean:
	rm -rf build
endif

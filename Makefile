# VX-7105 host software: top-level commands.
#   make test      install what is missing, build native, i686 and x86_64, run every test
#                  this host can execute
#   make demo      the sample application against the virtual board under Wine, log decoded
#   make bench     exchanges per second with and without the call log
#   make screenshots   PNGs of every dialog page under Xvfb (build/<win32|win64>/screenshots)
#   make soak      the long load test
#   make package   NSIS installers (x86, amd64) and the zip of both architectures
#   make test-sdk  the SDK from the unpacked zip alone: samples built with CMake, pkg-config and
#                  lld-link (qrlink00.lib), run under Wine; part of make test
#   make docs      the HTML reference of qrlink00.h (build/docs/html); part of make test
#
# Windows architectures: both are always built (build/win32 = i686, the primary
# deliverable; build/win64 = x86_64) and checked from their files. Their Wine suites run
# for every architecture this host executes: a host whose kernel runs no 32-bit code
# runs the x86_64 suites only. ARCHS="i686", "x86_64" or "i686 x86_64" forces the choice.
SHELL   := /bin/bash
MAKEFLAGS += --no-print-directory
BUILD   ?= $(CURDIR)/build
NATIVE  := $(BUILD)/native
JOBS    ?= 2
FUZZ    := $(BUILD)/fuzz
FUZZ_SECONDS ?= 45

# Build folder, Wine prefix and toolchain of each architecture.
DIR_i686     := $(BUILD)/win32
DIR_x86_64   := $(BUILD)/win64
PREFIX_i686  := $(BUILD)/wineprefix-win32
PREFIX_x86_64 := $(BUILD)/wineprefix-win64

# What the host executes, found once per make run by running a tiny 32-bit program.
HOST_ARCHS := $(shell bash scripts/host-archs.sh)
ARCHS ?= $(HOST_ARCHS)
override ARCHS := $(filter i686 x86_64,$(ARCHS))
ifeq ($(ARCHS),)
$(error ARCHS must name i686, x86_64 or both)
endif
# The architecture the demo, bench, soak, screenshots and package run: the primary one
# where it runs here.
RUN_ARCH := $(firstword $(filter i686,$(ARCHS)) $(ARCHS))
export ARCHS

.PHONY: all deps native win32 win64 windows prefix test test-native test-tsan test-fuzz test-static \
        test-wine test-wine-i686 test-wine-x86_64 docs demo bench screenshots package test-sdk soak clean

all: native windows

deps:
	@bash scripts/deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=ON >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

# configure-and-build ARCH
define winbuild
	@cmake -S . -B $(DIR_$(1)) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-$(1)-mingw.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DVX_WINEPREFIX=$(PREFIX_$(1)) >/dev/null
	@cmake --build $(DIR_$(1)) -j$(JOBS)
endef

win32: deps
	$(call winbuild,i686)
win64: deps
	$(call winbuild,x86_64)
windows: win32 win64

prefix: deps
	@$(foreach a,$(ARCHS),bash scripts/wineprefix.sh $(a) $(PREFIX_$(a)) &&) true

test-native: native
	@cd $(NATIVE) && ctest --output-on-failure --timeout 900

# The portable core and the virtual board under ThreadSanitizer: their tests include
# several threads calling the library at once (call log, option tables).
TSAN    := $(BUILD)/tsan
test-tsan: deps
	@cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=OFF -DVX_TSAN=ON >/dev/null
	@cmake --build $(TSAN) -j$(JOBS) --target qrl_core_tests vboard_tests
	@cd $(TSAN) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R '^(qrl_core_tests|vboard_tests)$$'

# The fuzz target over the core's outside inputs, for a bounded time.
test-fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=Debug -DVX_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS) --target fuzz_core
	@mkdir -p $(FUZZ)/corpus
	@$(FUZZ)/systest/fuzz_core -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	  $(FUZZ)/corpus 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss|Done|INFO: Seed)' ; \
	 test $${PIPESTATUS[0]} -eq 0

# Both architectures, from their files: machine, exports, imports, versions, a caller's
# imports (on i686 the stdcall argument sizes through the link). Needs no Wine.
test-static: windows
	@for d in $(DIR_i686) $(DIR_x86_64); do \
	  ( cd $$d && ctest --output-on-failure -L static ) || exit; done

# The Wine suites of one architecture in its own prefix, under one persistent wineserver
# for the whole run (start-up costs seconds per process otherwise); it is stopped
# whatever the outcome.
define winetest
	@case " $(HOST_ARCHS) " in *" $(1) "*) ;; *) echo "make: warning: ARCHS asks for the $(1) Wine suites," \
	   "but this host cannot execute 32-bit x86 code: they will fail to start";; esac
	@bash scripts/wineprefix.sh $(1) $(PREFIX_$(1))
	@. scripts/wine-arch.sh $(1); export WINEPREFIX=$(PREFIX_$(1)); \
	 echo "== Wine suites, $(1) ($$WINEARCH prefix, loader $$WINELOADER)"; \
	 wineserver -p </dev/null >/dev/null 2>&1; wine cmd /c exit </dev/null >/dev/null 2>&1; rc=0; \
	 ( cd $(DIR_$(1)) && ctest --output-on-failure --timeout 900 -LE static ) || rc=$$?; \
	 wineserver -k; exit $$rc
endef

test-wine-i686: win32 deps
	$(call winetest,i686)
test-wine-x86_64: win64 deps
	$(call winetest,x86_64)
test-wine: $(addprefix test-wine-,$(ARCHS))

# One clear line for every architecture whose Wine suites did not run, and why.
test: test-native test-tsan test-fuzz test-static test-wine docs test-sdk
	@for a in i686 x86_64; do \
	  case " $(ARCHS) " in *" $$a "*) continue;; esac; \
	  case " $(HOST_ARCHS) " in \
	    *" $$a "*) why="ARCHS=\"$(ARCHS)\" leaves them out (this host could run them)";; \
	    *) why="this host cannot execute 32-bit x86 code; $$a was built and checked from its files only (ARCHS=$$a forces them)";; \
	  esac; \
	  echo "make test: the $$a Wine suites did not run: $$why"; done
	@echo "make test: passed: native, race detector, fuzz, file checks of i686 and x86_64, Wine suites of $(ARCHS), package and SDK from the zip"

# The HTML reference of the public header (Doxygen, docs/Doxyfile) in $(BUILD)/docs/html.
# Fails on any warning: an undocumented export, parameter or result is an error.
docs: deps
	@mkdir -p $(BUILD)/docs
	@QRL_DOCS_OUT=$(abspath $(BUILD))/docs doxygen docs/Doxyfile
	@echo "make docs: $(abspath $(BUILD))/docs/html/index.html"

demo: win32 win64
	@echo "make demo: $(RUN_ARCH) build under Wine"
	@bash scripts/demo.sh $(RUN_ARCH) $(DIR_$(RUN_ARCH)) $(BUILD)

bench: win32 win64
	@echo "make bench: $(RUN_ARCH) build under Wine"
	@bash scripts/bench.sh $(RUN_ARCH) $(DIR_$(RUN_ARCH)) $(BUILD)

# Every dialog page, the Control Panel and the compatibility check, as PNG files
# under <build>/screenshots (Xvfb and a prefix with the X11 driver).
screenshots: win32 win64
	@echo "make screenshots: $(RUN_ARCH) build under Wine"
	@bash scripts/screenshots.sh $(RUN_ARCH) $(DIR_$(RUN_ARCH))
	@bash scripts/screenshots-compat.sh $(RUN_ARCH) $(DIR_$(RUN_ARCH))
	@ls $(DIR_$(RUN_ARCH))/screenshots

soak: win32 win64
	@echo "make soak: $(RUN_ARCH) build under Wine"
	@bash scripts/soak.sh $(RUN_ARCH) $(DIR_$(RUN_ARCH)) $(BUILD) full

package: win32 win64 docs
	@bash scripts/package.sh $(BUILD) "$(ARCHS)"

# The customer's view of the package: the zip unpacked into a scratch folder, samples built
# there with the kit's CMake package, its pkg-config file and (lld-link) its qrlink00.lib,
# and run under Wine for each architecture in ARCHS.
test-sdk: package
	@bash sdk/tests/test_sdk.sh $(BUILD) "$(ARCHS)"

clean:
	rm -rf $(BUILD)

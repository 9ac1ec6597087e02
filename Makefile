# VX-7105 host software: top-level commands.
#   make test      install what is missing, build native and Win32, run every test
#   make demo      the sample application against the virtual board under Wine, log decoded
#   make bench     exchanges per second with and without the call log
#   make screenshots   PNGs of every dialog page under Xvfb (build/win32/screenshots)
#   make package   NSIS installer and zip of the deliverables and the SDK
SHELL   := /bin/bash
MAKEFLAGS += --no-print-directory
BUILD   ?= $(CURDIR)/build
NATIVE  := $(BUILD)/native
WIN     := $(BUILD)/win32
PREFIX  := $(BUILD)/wineprefix
JOBS    ?= 2
export WINEPREFIX := $(PREFIX)
export WINEARCH   := win32
export WINEDEBUG  := -all
export WINEDLLOVERRIDES := mscoree,mshtml=

FUZZ    := $(BUILD)/fuzz
FUZZ_SECONDS ?= 45

.PHONY: all deps native win32 prefix test test-native test-win32 test-fuzz demo bench screenshots package soak clean

all: native win32

deps:
	@bash scripts/deps.sh

native: deps
	@cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Debug -DVX_SANITIZE=ON >/dev/null
	@cmake --build $(NATIVE) -j$(JOBS)

win32: deps
	@cmake -S . -B $(WIN) -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchain-i686-mingw.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DVX_WINEPREFIX=$(PREFIX) >/dev/null
	@cmake --build $(WIN) -j$(JOBS)

prefix: deps
	@bash scripts/wineprefix.sh $(PREFIX)

test-native: native
	@cd $(NATIVE) && ctest --output-on-failure --timeout 900

# One persistent wineserver for the whole run (start-up costs seconds per process
# otherwise); it is stopped whatever the outcome.
test-win32: win32 prefix
	@wineserver -p </dev/null >/dev/null 2>&1; wine cmd /c exit </dev/null >/dev/null 2>&1; rc=0; \
	 ( cd $(WIN) && ctest --output-on-failure --timeout 900 ) || rc=$$?; \
	 wineserver -k; exit $$rc

# The fuzz target over the core's outside inputs, for a bounded time.
test-fuzz: deps
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=Debug -DVX_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ) -j$(JOBS) --target fuzz_core
	@mkdir -p $(FUZZ)/corpus
	@$(FUZZ)/boardlib/fuzz_core -max_total_time=$(FUZZ_SECONDS) -max_len=4096 -print_final_stats=1 \
	  $(FUZZ)/corpus 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss|Done|INFO: Seed)' ; \
	 test $${PIPESTATUS[0]} -eq 0

test: test-native test-fuzz test-win32
	@echo "make test: native and Win32 suites passed"

demo: win32 prefix
	@bash scripts/demo.sh $(WIN) $(BUILD)

bench: win32 prefix
	@bash scripts/bench.sh $(WIN)

# Every dialog page, the Control Panel and the compatibility check, as PNG files
# under $(WIN)/screenshots (Xvfb and a prefix with the X11 driver).
screenshots: win32 prefix
	@bash scripts/screenshots.sh $(WIN)
	@bash scripts/screenshots-compat.sh $(WIN)
	@ls $(WIN)/screenshots

soak: win32 prefix
	@bash scripts/soak.sh $(WIN) full

package: win32 prefix
	@bash scripts/package.sh $(WIN) $(BUILD)

clean:
	rm -rf $(BUILD)

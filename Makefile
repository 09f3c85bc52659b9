# Two commands for a newcomer: `make run` and `make test`.
BUILD ?= build
TYPE ?= RelWithDebInfo
ARGS ?=
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 20
# -O1 keeps the sanitized suite quick while the stack traces stay readable.
CHECKED = -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DVIMBREL_SANITIZE=ON
# Leaks are checked too (LeakSanitizer is on by default with ASan on Linux).
SANITIZER_ENV = ASAN_OPTIONS=detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp

.PHONY: setup setup-test build run test test-sanitized fuzz-build test-fuzz fuzz-corpus bench clean

# Building and running need Qt and a compiler only; the tests also need
# Chromium, clang and the Debian packaging tools.
setup:
	@scripts/setup.sh

setup-test:
	@scripts/setup.sh test

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) >/dev/null
	@cmake --build $(BUILD)

run: build
	./$(BUILD)/vimbrel $(ARGS)

# The suite, then the same suite under AddressSanitizer and UBSan, then a
# short bounded run of each fuzz target over its kept corpus.
test: setup-test build
	cd $(BUILD) && ctest --output-on-failure -j2
	@$(MAKE) --no-print-directory test-sanitized test-fuzz

test-sanitized: setup-test
	@cmake -S . -B $(ASAN_BUILD) $(CHECKED) >/dev/null
	@cmake --build $(ASAN_BUILD)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -j2

# The fuzz targets need clang's libFuzzer, so they get a build of their own.
fuzz-build: setup-test
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(CHECKED) -DVIMBREL_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) --target fuzz_pagenames fuzz_measure fuzz_pictureheader fuzz_nativename fuzz_decodejpeg fuzz_decodeheif fuzz_probeclip

test-fuzz: fuzz-build
	@$(SANITIZER_ENV) fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Fuzzes for longer (FUZZ_SECONDS=600 or more) and folds the inputs that add
# coverage into fuzz/corpus/, to be committed.
fuzz-corpus: fuzz-build
	@$(SANITIZER_ENV) fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) merge

bench: setup-test build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)

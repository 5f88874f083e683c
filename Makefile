# Lumetra: `make run` starts the player under Wine, `make test` runs the test suite, `make bench`
# measures the player against its floors, `make fuzz` fuzzes the tag reader natively for
# FUZZ_SECONDS (600 by default).
# All of them install what is missing (Debian packages, cross-built dependencies) and build first.
#
# Two builds: $(BUILD) is the program users get (32-bit, in $(BUILD)/dist); $(TESTBUILD) is the same
# code built for 64-bit Windows, which the tests and `make run` run under 64-bit Wine (32-bit Wine
# needs a kernel that executes 32-bit binaries, which not every machine has).
BUILD ?= build
TESTBUILD ?= $(BUILD)/x64
JOBS ?= $(shell nproc)

.PHONY: all setup deps build build-tests run test bench fuzz clean

all: build

setup:
	@./scripts/setup.sh

deps: setup
	@./scripts/build-deps.sh i686 >/dev/null && ./scripts/build-deps.sh x86_64 >/dev/null

# build_tree DIR ARCH CMAKE-ARGS: the dependency prefix is keyed by a hash of its recipe, so the
# tree is configured again whenever it moves.
define build_tree
	@deps=$$(./scripts/build-deps.sh $(2)) || exit 1; deps=$$(printf '%s\n' "$$deps" | tail -n 1); \
	if [ ! -f $(1)/CMakeCache.txt ] || ! grep -q "LUMETRA_DEPS:.*=$$deps$$" $(1)/CMakeCache.txt; then \
	  cmake -S . -B $(1) -DCMAKE_TOOLCHAIN_FILE=cmake/$(2)-mingw-posix.cmake -DLUMETRA_DEPS=$$deps $(3) >/dev/null || exit 1; \
	fi; \
	cmake --build $(1) -j$(JOBS)
endef

build: setup
	$(call build_tree,$(BUILD),i686,-DLUMETRA_TESTS=OFF)

build-tests: setup
	$(call build_tree,$(TESTBUILD),x86_64,-DLUMETRA_TESTS=ON -DLUMETRA_PRODUCT_EXE=$(abspath $(BUILD))/dist/Lumetra.exe)

run: build-tests
	@./scripts/run-player.sh $(TESTBUILD)

test: build build-tests
	@cd $(TESTBUILD) && ctest --output-on-failure -j$(JOBS) --timeout 300

# Not a test: no figure fails anything. Prints one line per measure, see README.
bench: build-tests
	@python3 scripts/bench.py

FUZZ_SECONDS ?= 600
fuzz: setup
	@FUZZ_BUILD=$(abspath $(BUILD))/fuzz ./fuzz/run-fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD)

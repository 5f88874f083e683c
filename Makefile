# Lumetra: `make run` starts the player under Wine, `make test` runs the test suite.
# Both install what is missing (Debian packages, cross-built dependencies) and build first.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup deps build run test clean

all: build

setup:
	@./scripts/setup.sh

deps: setup
	@./scripts/build-deps.sh >/dev/null

# The dependency prefix is keyed by a hash of its recipe; configure again whenever it moves.
build: setup
	@deps=$$(./scripts/build-deps.sh) || exit 1; deps=$$(printf '%s\n' "$$deps" | tail -n 1); \
	if [ ! -f $(BUILD)/CMakeCache.txt ] || ! grep -q "LUMETRA_DEPS:.*=$$deps$$" $(BUILD)/CMakeCache.txt; then \
	  cmake -S . -B $(BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/i686-mingw-posix.cmake -DLUMETRA_DEPS=$$deps >/dev/null || exit 1; \
	fi; \
	cmake --build $(BUILD) -j$(JOBS)

run: build
	@./scripts/run-player.sh $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 300

clean:
	rm -rf $(BUILD)

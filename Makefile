# Thin wrapper over CMake. `make run` and `make test` work on a fresh Debian 12 machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

DEB_PACKAGES = cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
               libmotif-dev libxpm-dev libxt-dev libx11-dev libpulse-dev \
               libsndfile1-dev libsamplerate0-dev libfftw3-dev \
               xvfb xauth x11-utils xdotool pulseaudio pulseaudio-utils

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build test unit-test asan-test tsan-test bench run clean

all: build

deps:
	@missing=""; \
	for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q 'install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

# Every test, then the unit tests again under AddressSanitizer + UndefinedBehaviorSanitizer,
# then the server's tests (where the two threads meet) under ThreadSanitizer.
test: deps
	$(MAKE) build
	$(MAKE) unit-test
	$(MAKE) asan-test
	$(MAKE) tsan-test

unit-test:
	tests/with-services.sh ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan-test:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORDA_SANITIZE=ON -DVORDA_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  tests/with-services.sh ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L unit

tsan-test:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORDA_TSAN=ON -DVORDA_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target server_tests server_integration_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/server/tsan.supp" \
	  tests/with-services.sh ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) \
	  -R '^server(_integration)?\.'

bench: deps
	$(MAKE) build
	@for b in $(BUILD)/bench/bench_*; do \
	  [ -x "$$b" ] || continue; echo "== $$b"; "$$b" || exit 1; \
	done

run: deps
	$(MAKE) build
	@echo "The modem library and tools are built in $(BUILD)/."
	@echo "The operating window arrives with the application; until then try:"
	@echo "  $(BUILD)/tools/vorda-modem --help"

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD)

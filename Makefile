# Thin wrapper over CMake. `make run` and `make test` work on a fresh Debian 12 machine.
BUILD      ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
PKG_BUILD  ?= build-pkg
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
PREFIX     ?= /usr/local

DEB_PACKAGES = cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev \
               libmotif-dev libxpm-dev libxt-dev libx11-dev libpulse-dev \
               libsndfile1-dev libsamplerate0-dev libfftw3-dev libhamlib-dev libhamlib-utils \
               xvfb xauth x11-utils xdotool xsel pulseaudio-utils \
               fonts-dejavu-core dpkg-dev groff-base desktop-file-utils imagemagick sox
# The sound servers the tests start privately, each in turn. Installed for the tests
# only: each package enables its user service for every login, and the two take the
# same socket, so on a desktop one could displace the server the operator runs.
DEB_TEST_PACKAGES = pulseaudio pipewire pipewire-pulse wireplumber dbus-daemon

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps test-deps build test unit-test shuffle-test asan-test tsan-test bench sensitivity run install uninstall \
        package package-test package-install-test clean

all: build

deps test-deps:
	@missing=""; \
	for p in $(DEB_PACKAGES) $(if $(filter test-deps,$@),$(DEB_TEST_PACKAGES)); do \
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
# then the server's tests (where the two threads meet) under ThreadSanitizer, and last
# the Debian package, checked and run from a temporary root: the system is left as it was.
test: test-deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORDA_WERROR=ON $(CMAKE_ARGS)
	$(MAKE) build
	$(MAKE) unit-test
	$(MAKE) shuffle-test
	$(MAKE) asan-test
	$(MAKE) tsan-test
	$(MAKE) package-test

# Every test runs once: a test that fails now and then is a fault to find.
# Tests that need an X server or the sound server start private ones each. Those
# that play or record audio run twice, on PulseAudio and, labelled pipewire, on
# PipeWire's PulseAudio server (see tests/with-services.sh).
unit-test:
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Every test program in one process, its cases shuffled and run three times: a case
# that leans on what another left behind, or on running first, fails here (CTest
# runs each case in a process of its own and cannot see that). The seed is printed
# (the brief output leaves it out) for repeating a failure. SHUFFLE_SKIP names programs
# to leave out. None now: the sound-server program's lost characters were its
# playback buffer running dry on a busy machine (since made longer) and a test that
# started two players apart.
# The sound-server program, which mostly waits for audio in real time, runs beside the
# others, each with services of its own. Its FirstTransmission case is left out here:
# it times a probe in child processes of their own, which nothing of this process can
# reach (CTest and the ThreadSanitizer pass run it).
SHUFFLE_SKIP ?=
shuffle-test:
	@run() { \
	  seed=$$(( $$(od -An -N2 -tu2 /dev/urandom) + 1 )); \
	  echo "== $$1: shuffled, three times, --gtest_random_seed=$$seed"; \
	  tests/with-services.sh "$$@" --gtest_shuffle --gtest_random_seed=$$seed --gtest_repeat=3 \
	    --gtest_brief=1; \
	}; \
	log=$$(mktemp); server=$(BUILD)/tests/server_integration_tests; server_pid=""; \
	case " $(SHUFFLE_SKIP) " in *" server_integration_tests "*) ;; *) \
	  if [ -x "$$server" ]; then \
	    run "$$server" --gtest_filter=-FirstTransmission.* >"$$log" 2>&1 & server_pid=$$!; \
	  fi ;; \
	esac; \
	status=0; \
	for t in $(BUILD)/tests/*_tests; do \
	  [ "$$t" = "$$server" ] && continue; \
	  case " $(SHUFFLE_SKIP) " in *" $$(basename $$t) "*) continue ;; esac; \
	  run "$$t" || { status=1; break; }; \
	done; \
	if [ -n "$$server_pid" ]; then \
	  wait "$$server_pid" || status=1; \
	  cat "$$log"; \
	fi; \
	rm -f "$$log"; exit $$status

asan-test:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORDA_SANITIZE=ON -DVORDA_BENCH=OFF -DVORDA_WERROR=ON $(CMAKE_ARGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS) --target unit_tests
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L unit

tsan-test:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORDA_TSAN=ON -DVORDA_BENCH=OFF -DVORDA_WERROR=ON $(CMAKE_ARGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target server_tests server_integration_tests
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/server/tsan.supp" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) \
	  -R '^server(_integration)?\.'

# The tables on the console, and every result in one JSON file, $(BENCH_JSON):
# an object with one member per benchmark program holding the library's own report.
BENCH_JSON ?= $(BUILD)/bench/benchmarks.json
bench: deps
	$(MAKE) build
	@json=$(BENCH_JSON); tmp=$$(mktemp -d); sep=""; \
	printf '{' >"$$json.new"; \
	for b in $(BUILD)/bench/bench_*; do \
	  [ -x "$$b" ] || continue; name=$$(basename "$$b"); echo "== $$b"; \
	  "$$b" --benchmark_out="$$tmp/$$name.json" --benchmark_out_format=json || { rm -rf "$$tmp"; exit 1; }; \
	  printf '%s\n"%s": ' "$$sep" "$$name" >>"$$json.new"; cat "$$tmp/$$name.json" >>"$$json.new"; sep=","; \
	done; \
	printf '}\n' >>"$$json.new"; mv "$$json.new" "$$json"; rm -rf "$$tmp"; \
	echo "== all results: $$json"

# Character error rates in white noise (vorda-modem encode, noise, decode; 5 seeds a
# point), then carrier detect on weak signals and in noise alone.
sensitivity: deps
	$(MAKE) build
	tools/sensitivity.sh $(BUILD) 5
	$(BUILD)/bench/measure_carrier_detect --seeds 5

# Builds, then starts the copy staged in $(BUILD)/stage (program, code table,
# example QSO files and the resource file) on $DISPLAY with the user's sound server:
# PulseAudio, or PipeWire's PulseAudio server; a PulseAudio daemon is started only
# when neither answers and PulseAudio is installed.
run: deps
	$(MAKE) build
	@if [ -z "$$DISPLAY" ] || ! xdpyinfo >/dev/null 2>&1; then \
	  echo "make run: no X display to open (DISPLAY='$$DISPLAY'); run it from a graphical session"; \
	  exit 1; \
	fi; \
	if ! pactl info >/dev/null 2>&1; then \
	  command -v pulseaudio >/dev/null || { \
	    echo "make run: no sound server answers (pactl info) and none is installed; installing PulseAudio"; \
	    $(SUDO) apt-get update && \
	    DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends pulseaudio || exit 1; }; \
	  echo "make run: no PulseAudio or PipeWire server answers; starting PulseAudio"; \
	  pulseaudio --start --exit-idle-time=-1 >/dev/null 2>&1; \
	  pactl info >/dev/null 2>&1 || { echo "make run: PulseAudio did not start"; exit 1; }; \
	fi; \
	echo "make run: sound server: $$(pactl info | sed -n 's/^Server Name: //p')"; \
	XFILESEARCHPATH="$(CURDIR)/$(BUILD)/stage/app-defaults/%N" exec $(BUILD)/stage/bin/vorda

# Installs under $(PREFIX) (data in $(PREFIX)/share/vorda). The resource file goes
# where the X Toolkit looks, /etc/X11/app-defaults, for the prefixes /usr and
# /usr/local, and into $(PREFIX)/share/vorda/app-defaults for any other.
# DESTDIR=... stages the same tree elsewhere.
install:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) \
	  -DVORDA_DATA_DIR=$(PREFIX)/share/vorda $(CMAKE_ARGS)
	cmake --build $(BUILD) -j $(JOBS)
	$(if $(DESTDIR),,$(SUDO)) cmake --install $(BUILD)

uninstall:
	@[ -f $(BUILD)/install_manifest.txt ] || { echo "make uninstall: nothing was installed from $(BUILD)"; exit 1; }
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt | $(if $(DESTDIR),,$(SUDO)) xargs -d '\n' rm -f
	-$(if $(DESTDIR),,$(SUDO)) rmdir "$(DESTDIR)$(PREFIX)/share/vorda/vordaDir" "$(DESTDIR)$(PREFIX)/share/vorda/app-defaults" "$(DESTDIR)$(PREFIX)/share/vorda" 2>/dev/null

# The Debian package $(PKG_BUILD)/vorda_<version>_<arch>.deb: installs under /usr, with
# the data directory /usr/share/vorda compiled in; no tests or benchmarks built.
package: deps
	cmake -S . -B $(PKG_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DVORDA_DATA_DIR=/usr/share/vorda -DVORDA_TESTS=OFF -DVORDA_BENCH=OFF $(CMAKE_ARGS)
	cmake --build $(PKG_BUILD) -j $(JOBS)
	rm -f $(PKG_BUILD)/vorda_*.deb
	cmake --build $(PKG_BUILD) --target package

# Checks the package's contents, dependencies and scripts, and runs it unpacked in a
# temporary root under Xvfb with a PulseAudio daemon.
package-test: package test-deps
	tests/with-services.sh tests/package/package_test.sh unpacked $(PKG_BUILD)/vorda_*.deb

# The same, then installs it into this machine with apt-get, runs it, removes and
# purges it (needs root or sudo; meant for a throwaway machine such as CI's).
package-install-test: package test-deps
	tests/with-services.sh tests/package/package_test.sh installed $(PKG_BUILD)/vorda_*.deb

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(PKG_BUILD)

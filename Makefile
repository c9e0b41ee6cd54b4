# Tetrapan: `make run` installs what is missing, builds and starts the app;
# `make test` installs, builds and runs every test (GUI tests under Xvfb).
# `make test-asan` runs the same tests built with AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer;
# `make test-tsan` builds the tests whose threads meet (TSAN_TESTS) with ThreadSanitizer and runs them;
# `make test-long` runs the long forms of the tests labelled long; `make fuzz` builds the fuzzers with clang
# and runs each for FUZZ_SECONDS (FUZZ_RUNS=10000000 runs each for that many inputs instead, FUZZ_FORKS=2 in
# two worker processes); `make soak`
# uses the app at random for SOAK_SECONDS (ten minutes) and checks its memory stays level.
# `make mutants` builds each small fault of scripts/mutants.txt into a copy of the tree and checks the tests catch it.
BUILD_DIR ?= build
ASAN_BUILD_DIR ?= build-asan
TSAN_BUILD_DIR ?= build-tsan
# the engine, the panes on the real engine, the file-presence cache (the playlist window) and the library's
# reading and saving. Not the program as a child process (single instance, tst_desktopapplication): Qt hands
# its D-Bus thread events under locks of its own that ThreadSanitizer cannot see, and the report ends it.
TSAN_TESTS ?= tst_objectcontext tst_mpvmovie tst_mpvhandlepool tst_panepixels_software tst_badmovies tst_qtmoviesubview \
              tst_movcontroller tst_playlistwindow tst_xmlstore tst_xmlstoresave tst_fileexistencecache tst_quitsignals
FUZZ_BUILD_DIR ?= build-fuzz
BUILD_TYPE ?= RelWithDebInfo
CTEST_ARGS ?=
FUZZ_SECONDS ?= 60
FUZZ_RUNS ?=
FUZZ_TARGETS ?=
FUZZ_FORKS ?=
SOAK_SECONDS ?= 600
MUTANTS_DIR ?= build-mutants
XVFB = xvfb-run -a -s '-screen 0 1280x800x24'
# ccache, where it is installed, keeps what was compiled across build folders and fresh checkouts
LAUNCHER := $(if $(shell command -v ccache 2>/dev/null),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: all deps configure build run test test-asan test-tsan test-long soak fuzz bench mutants clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(LAUNCHER)

configure: $(BUILD_DIR)/build.ninja

build: deps configure
	cmake --build $(BUILD_DIR)

run: build
	./$(BUILD_DIR)/tetrapan

# `make install` (PREFIX, DESTDIR as usual): the program, its desktop entry, icon and AppStream description
PREFIX ?= /usr/local
.PHONY: install
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

# `make package`: tetrapan_<version>_<arch>.deb in the build folder, its dependencies found by dpkg-shlibdeps;
# `make package-check` builds it elsewhere, runs lintian, installs, runs and removes it (needs root or sudo)
.PHONY: package package-check
package: build
	cd $(BUILD_DIR) && cpack -G DEB

package-check: build
	scripts/package-check.sh $(BUILD_DIR)

# four at a time on two cores: most of a test's time is spent waiting for movies playing in real time, a
# program to start or a limit to pass, not computing (the suite is about 130 CPU-seconds in 240 s run one by
# one); the tests that use X run on X servers of their own (tests/support/xvfb-own.sh)
TEST_JOBS ?= 4
test: build
	cd $(BUILD_DIR) && $(XVFB) ctest -j$(TEST_JOBS) --output-on-failure $(CTEST_ARGS)

# -O1 with line tables only: half the compile time of -O2 -g, and reports still name every function and line
$(ASAN_BUILD_DIR)/build.ninja:
	cmake -S . -B $(ASAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER) \
	    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DTETRAPAN_SANITIZE=ON

test-asan: deps $(ASAN_BUILD_DIR)/build.ninja
	cmake --build $(ASAN_BUILD_DIR)
	cd $(ASAN_BUILD_DIR) && $(XVFB) ctest --output-on-failure $(CTEST_ARGS)

$(TSAN_BUILD_DIR)/build.ninja:
	cmake -S . -B $(TSAN_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(LAUNCHER) \
	    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DTETRAPAN_TSAN=ON

test-tsan: deps $(TSAN_BUILD_DIR)/build.ninja
	cmake --build $(TSAN_BUILD_DIR) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD_DIR) && $(XVFB) ctest --output-on-failure -R '^($(subst $(eval) ,|,$(strip $(TSAN_TESTS))))$$' $(CTEST_ARGS)

test-long: build
	cd $(BUILD_DIR) && TETRAPAN_LONG_TESTS=1 $(XVFB) ctest --output-on-failure -L long $(CTEST_ARGS)

soak: build
	cd $(BUILD_DIR) && TETRAPAN_SOAK_SECONDS=$(SOAK_SECONDS) LC_ALL=C.UTF-8 $(XVFB) ./bench/tetrapan-bench soak

# clang comes first: the fuzz build folder is configured with it
fuzz:
	@scripts/install-deps.sh --fuzz
	test -f $(FUZZ_BUILD_DIR)/build.ninja || cmake -S . -B $(FUZZ_BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_CXX_COMPILER=clang++-14 -DTETRAPAN_FUZZ=ON -DBUILD_TESTING=OFF
	cmake --build $(FUZZ_BUILD_DIR) --target fuzzers
	FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_RUNS=$(FUZZ_RUNS) FUZZ_TARGETS="$(FUZZ_TARGETS)" \
	    FUZZ_FORKS=$(FUZZ_FORKS) scripts/run-fuzzers.sh $(FUZZ_BUILD_DIR)

mutants: deps
	MUTANTS_DIR=$(MUTANTS_DIR) BUILD_TYPE=$(BUILD_TYPE) scripts/mutants.sh

bench: build
	@scripts/install-deps.sh --bench
	@echo "run: $(BUILD_DIR)/bench/tetrapan-bench <subcommand>"

clean:
	rm -rf $(BUILD_DIR) $(ASAN_BUILD_DIR) $(TSAN_BUILD_DIR) $(FUZZ_BUILD_DIR)

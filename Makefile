# Tetrapan: `make run` installs what is missing, builds and starts the app;
# `make test` installs, builds and runs every test (GUI tests under Xvfb).
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_ARGS ?=

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD_DIR)/build.ninja:
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

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

test: build
	cd $(BUILD_DIR) && xvfb-run -a -s '-screen 0 1280x800x24' ctest --output-on-failure $(CTEST_ARGS)

bench: build
	@scripts/install-deps.sh --bench
	@echo "run: $(BUILD_DIR)/bench/tetrapan-bench <subcommand>"

clean:
	rm -rf $(BUILD_DIR)

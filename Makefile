# Two commands do the whole set-up on a fresh Debian machine:
#   make run    install the dependencies, build, start the emulator
#   make test   install the dependencies, build, run the whole test suite
# and, to put it on the system:
#   make install   build, then install under PREFIX (default /usr/local); DESTDIR is honoured
#   make package   build, then a Debian package in build/packages/
BUILD_DIR ?= build
JOBS ?= 2
PREFIX ?= /usr/local
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench install package clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	@scripts/bench.sh $(BUILD_DIR)

install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)"

package: build
	@cd $(BUILD_DIR) && cpack --config CPackConfig.cmake

clean:
	rm -rf $(BUILD_DIR)

# The two commands of a newcomer:
#   make run    install what is missing, build, start the ground station with the simulated aircraft
#   make test   install what is missing, build, run every test
# and one for a release:
#   make package   the Debian package build/orvex-gcs_<version>_amd64.deb (see README "Install")
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test package clean

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@scripts/run-gcs

test: build
	@cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

package: build
	@cmake --build $(BUILD_DIR) --target package

clean:
	rm -rf $(BUILD_DIR)

# The two commands: `make demo` and `make test`. Both install what they need from Debian's
# packages first (only what is missing), configure into build/ and build everything.

BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS       ?= $(shell nproc)

DEB_PACKAGES := cmake make g++ pkg-config ccache \
  qt6-base-dev qt6-base-dev-tools libgl-dev libx11-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  xvfb xauth x11-utils imagemagick

.PHONY: all deps configure build test demo clean

all: build

deps:
	@missing=""; \
	for p in $(DEB_PACKAGES); do \
	  dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  if [ "$$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq --no-install-recommends $$missing; \
	fi

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE)

build: configure
	cmake --build $(BUILD) -j$(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) --timeout 600

demo: build
	./tools/demo.sh $(BUILD)

clean:
	rm -rf $(BUILD)

# The README's commands. Each one sets the machine up first (scripts/setup.sh).
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: setup demo check bench fuzz release dist deb clean

setup:
	@scripts/setup.sh

$(BUILD_DIR)/release/build.ninja: CMakeLists.txt | setup
	cmake -S . -B $(BUILD_DIR)/release -G Ninja -DCMAKE_BUILD_TYPE=Release

# The check build runs the install tests on the install-check build; configuring
# again when this file changes keeps it pointing there.
$(BUILD_DIR)/check/build.ninja: CMakeLists.txt Makefile | setup
	cmake -S . -B $(BUILD_DIR)/check -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSSEL_SANITIZE=ON \
	    -DOSSEL_DIST_DIR=$(abspath $(BUILD_DIR)/install-check)

# What is installed and packaged: for /usr, without sanitizers (a program built
# without them cannot load sanitized libraries), and only the libraries,
# programs, plug-in and man pages. dist is optimised, for `make deb`; the
# install tests' own build is not, which saves a fifth of its compile time.
INSTALL_BUILD = -G Ninja -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF
$(BUILD_DIR)/dist/build.ninja: CMakeLists.txt | setup
	cmake -S . -B $(BUILD_DIR)/dist $(INSTALL_BUILD) -DCMAKE_BUILD_TYPE=Release
$(BUILD_DIR)/install-check/build.ninja: CMakeLists.txt | setup
	cmake -S . -B $(BUILD_DIR)/install-check $(INSTALL_BUILD) -DCMAKE_BUILD_TYPE=

release: $(BUILD_DIR)/release/build.ninja
	cmake --build $(BUILD_DIR)/release -j $(JOBS)

demo: release
	@scripts/demo.sh $(BUILD_DIR)/release

dist: $(BUILD_DIR)/dist/build.ninja
	cmake --build $(BUILD_DIR)/dist -j $(JOBS)

deb: dist
	rm -f ossel_*.deb $(BUILD_DIR)/dist/package/ossel_*.deb
	cpack --config $(BUILD_DIR)/dist/CPackConfig.cmake -B $(BUILD_DIR)/dist/package
	cp $(BUILD_DIR)/dist/package/ossel_*.deb .

# The longest test program takes about 10 s under the sanitizers; one that hangs
# (a host that lost a file waits for it for ever) fails after two minutes, not
# after ctest's default of 25.
check: $(BUILD_DIR)/check/build.ninja $(BUILD_DIR)/install-check/build.ninja
	cmake --build $(BUILD_DIR)/install-check -j $(JOBS)
	cmake --build $(BUILD_DIR)/check -j $(JOBS)
	cd $(BUILD_DIR)/check && ctest --output-on-failure --timeout 120 -j $(JOBS)

# The benchmarks need Google Benchmark and their reference libraries, which
# only this command installs; configuring again finds them once installed.
bench:
	@scripts/setup.sh --bench
	cmake -S . -B $(BUILD_DIR)/release -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR)/release -j $(JOBS)
	@scripts/bench.sh $(BUILD_DIR)/release

fuzz:
	@scripts/setup.sh --fuzz
	cmake -S . -B $(BUILD_DIR)/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DOSSEL_FUZZ=ON
	cmake --build $(BUILD_DIR)/fuzz -j $(JOBS) --target fuzzers
	@scripts/fuzz.sh $(BUILD_DIR)/fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD_DIR)

# The README's commands. Each one sets the machine up first (scripts/setup.sh).
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: setup demo check bench fuzz release clean

setup:
	@scripts/setup.sh

$(BUILD_DIR)/release/build.ninja: CMakeLists.txt | setup
	cmake -S . -B $(BUILD_DIR)/release -G Ninja -DCMAKE_BUILD_TYPE=Release

$(BUILD_DIR)/check/build.ninja: CMakeLists.txt | setup
	cmake -S . -B $(BUILD_DIR)/check -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOSSEL_SANITIZE=ON

release: $(BUILD_DIR)/release/build.ninja
	cmake --build $(BUILD_DIR)/release -j $(JOBS)

demo: release
	@scripts/demo.sh $(BUILD_DIR)/release

check: $(BUILD_DIR)/check/build.ninja
	cmake --build $(BUILD_DIR)/check -j $(JOBS)
	cd $(BUILD_DIR)/check && ctest --output-on-failure -j $(JOBS)

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

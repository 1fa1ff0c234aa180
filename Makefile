# The two commands: `make run` and `make test`. Each does all the set-up it needs first.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
TSAN_DIR ?= build-tsan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 300
GENERATOR := -G Ninja
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo $(if $(CI),-DTESSILOOM_WERROR=ON)
CTEST := ctest --output-on-failure --timeout 300

.PHONY: all deps build build-asan build-fuzz run test check-format format test-main test-asan test-tsan test-fuzz fuzz \
        bench package clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) $(GENERATOR) $(CMAKE_FLAGS)

$(ASAN_DIR)/build.ninja: | deps
	cmake -S . -B $(ASAN_DIR) $(GENERATOR) $(CMAKE_FLAGS) -DTESSILOOM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

$(TSAN_DIR)/build.ninja: | deps
	cmake -S . -B $(TSAN_DIR) $(GENERATOR) $(CMAKE_FLAGS) -DTESSILOOM_THREAD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

$(FUZZ_DIR)/build.ninja: | deps
	cmake -S . -B $(FUZZ_DIR) $(GENERATOR) $(CMAKE_FLAGS) -DCMAKE_CXX_COMPILER=clang++ -DTESSILOOM_FUZZ=ON

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

build-asan: deps $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR)

run: build
	$(BUILD_DIR)/app/tessiloom

test: check-format test-main test-fuzz test-tsan test-asan

check-format: deps
	scripts/check-format

format: deps
	git ls-files '*.cpp' '*.h' | xargs clang-format --style=file -i

test-main: build
	$(CTEST) --test-dir $(BUILD_DIR)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir $(ASAN_DIR) -LE no-sanitizer

# The tests of the conversion and of whole meshes, the ones with threads of their own, under
# ThreadSanitizer.
test-tsan: deps $(TSAN_DIR)/build.ninja
	cmake --build $(TSAN_DIR) --target tessiloom_conversion_tests tessiloom_mesh_tests
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_DIR)/conversion/tessiloom_conversion_tests
	TSAN_OPTIONS=halt_on_error=1 $(TSAN_DIR)/mesh/tessiloom_mesh_tests

# New inputs go to the build folder's corpus; the seeds in fuzz/corpus are only read.
build-fuzz: deps $(FUZZ_DIR)/build.ninja
	cmake --build $(FUZZ_DIR)

fuzz: build-fuzz
	mkdir -p $(FUZZ_DIR)/corpus
	$(FUZZ_DIR)/fuzz/tessiloom_run_fuzzer $(FUZZ_DIR)/corpus fuzz/corpus \
	    -dict=fuzz/listing.dict -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -artifact_prefix=$(FUZZ_DIR)/ -print_final_stats=1

test-fuzz:
	@if command -v clang++ >/dev/null; then $(MAKE) --no-print-directory fuzz FUZZ_SECONDS=60; \
	else echo "test-fuzz: SKIPPED, clang++ is not installed (scripts/install-deps installs it)"; fi

# build/tessiloom_<version>_<arch>.deb, to install with apt.
package: build
	cmake --build $(BUILD_DIR) --target package

bench: build
	$(BUILD_DIR)/bench/tessiloom-bench $(BUILD_DIR)/bench-data

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(TSAN_DIR) $(FUZZ_DIR)

# The two commands: `make run` and `make test`. Each does all the set-up it needs first.
BUILD_DIR ?= build
ASAN_DIR ?= build-asan
GENERATOR := -G Ninja
CMAKE_FLAGS := -DCMAKE_BUILD_TYPE=RelWithDebInfo $(if $(CI),-DTESSILOOM_WERROR=ON)
CTEST := ctest --output-on-failure --timeout 300

.PHONY: all deps build build-asan run test test-main test-asan bench clean

all: build

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja: | deps
	cmake -S . -B $(BUILD_DIR) $(GENERATOR) $(CMAKE_FLAGS)

$(ASAN_DIR)/build.ninja: | deps
	cmake -S . -B $(ASAN_DIR) $(GENERATOR) $(CMAKE_FLAGS) -DTESSILOOM_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

build: deps $(BUILD_DIR)/build.ninja
	cmake --build $(BUILD_DIR)

build-asan: deps $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR)

run: build
	@scripts/run-example $(BUILD_DIR)

test: test-main test-asan

test-main: build
	$(CTEST) --test-dir $(BUILD_DIR)

test-asan: build-asan
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 $(CTEST) --test-dir $(ASAN_DIR) -LE no-sanitizer

bench: build
	$(BUILD_DIR)/bench/tessiloom-bench

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)

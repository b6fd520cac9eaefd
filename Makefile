# The two commands a newcomer needs: `make run` and `make test`.
JOBS ?= $(shell nproc)
BUILD_DIR ?= build
TEST_BUILD_DIR ?= build-test
ARGS ?=

.PHONY: deps build run test bench format format-check clean

deps:
	scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUVASO_BUILD_TESTS=OFF
	cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	$(BUILD_DIR)/ruvaso $(ARGS)

test: deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DRUVASO_SANITIZE=ON -DRUVASO_WERROR=ON -DRUVASO_BUILD_BENCH=ON
	cmake --build $(TEST_BUILD_DIR) -j$(JOBS)
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	scripts/run-bench.sh $(BUILD_DIR)

SOURCES_TO_FORMAT = find src tests bench tools -name '*.cpp' -o -name '*.h'

format:
	$(SOURCES_TO_FORMAT) | xargs clang-format -i

# Reports every file that `make format` would change, and fails if there is one.
format-check:
	$(SOURCES_TO_FORMAT) | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR)

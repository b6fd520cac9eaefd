# The two commands a newcomer needs: `make run` and `make test`.
JOBS ?= $(shell nproc)
BUILD_DIR ?= build
TEST_BUILD_DIR ?= build-test
PACKAGE_BUILD_DIR ?= build-package
WINDOWS_BUILD_DIR ?= build-windows
ARGS ?=
# A compiler cache, when the machine has one, shared by every clone: paths are taken relative
# to the clone, so a fresh clone finds the objects an earlier one compiled.
CCACHE := $(shell command -v ccache 2>/dev/null)
ifneq ($(CCACHE),)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
LAUNCHER := -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
endif

.PHONY: deps configure build run test bench package package-check windows-sdk windows windows-check \
	format format-check clean

deps:
	scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRUVASO_BUILD_TESTS=OFF

# Everything: the program, the benchmarks and the developer tools.
build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

# Only the program, so the first window comes up in the time the program alone takes to build.
run: configure
	cmake --build $(BUILD_DIR) -j$(JOBS) --target ruvaso
	$(BUILD_DIR)/ruvaso $(ARGS)

test: deps
	cmake -S . -B $(TEST_BUILD_DIR) -DCMAKE_BUILD_TYPE=Debug -DRUVASO_SANITIZE=ON -DRUVASO_WERROR=ON -DRUVASO_BUILD_BENCH=ON $(LAUNCHER)
	cmake --build $(TEST_BUILD_DIR) -j$(JOBS)
	cd $(TEST_BUILD_DIR) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

bench: build
	scripts/run-bench.sh $(BUILD_DIR)

# The Debian package, built as Debian builds its own: optimised, hardened, without tests,
# benchmarks or tools.
package: deps
	DEB_BUILD_MAINT_OPTIONS=hardening=+all CXXFLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	LDFLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)" \
	cmake -S . -B $(PACKAGE_BUILD_DIR) -DCMAKE_BUILD_TYPE=None -DRUVASO_BUILD_TESTS=OFF \
		-DRUVASO_BUILD_BENCH=OFF -DRUVASO_BUILD_TOOLS=OFF
	cmake --build $(PACKAGE_BUILD_DIR) -j$(JOBS)
	cd $(PACKAGE_BUILD_DIR) && cpack
	@ls $(PACKAGE_BUILD_DIR)/ruvaso_*.deb

# Lints the package, installs it into a throw-away root and runs it there without a display.
package-check: package
	scripts/check-package.sh $(PACKAGE_BUILD_DIR)

# The libraries for Windows, built once from Debian's sources into a cache outside the clone.
windows-sdk:
	nice -n 10 scripts/build-windows-sdk.sh

# The Windows program, its tests and its setup program, cross-built into $(WINDOWS_BUILD_DIR).
windows: windows-sdk
	cmake -S . -B $(WINDOWS_BUILD_DIR) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/windows-toolchain.cmake \
		-DCMAKE_BUILD_TYPE=Release -DRUVASO_WERROR=ON -DRUVASO_BUILD_BENCH=OFF -DRUVASO_BUILD_TOOLS=OFF \
		$(LAUNCHER)
	cmake --build $(WINDOWS_BUILD_DIR) -j$(JOBS)
	cmake --build $(WINDOWS_BUILD_DIR) --target windows-setup

# Installs the setup program into a throw-away Wine prefix and runs the program there.
windows-check: windows
	scripts/check-windows.sh $(WINDOWS_BUILD_DIR)

SOURCES_TO_FORMAT = find src tests bench tools -name '*.cpp' -o -name '*.h'

format:
	$(SOURCES_TO_FORMAT) | xargs clang-format -i

# Reports every file that `make format` would change, and fails if there is one.
format-check:
	$(SOURCES_TO_FORMAT) | xargs clang-format --dry-run --Werror

clean:
	rm -rf $(BUILD_DIR) $(TEST_BUILD_DIR) $(PACKAGE_BUILD_DIR) $(WINDOWS_BUILD_DIR)

# The README's entry points. Each installs what it needs first (scripts/deps.sh).
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
TSAN_BUILD ?= build-tsan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
WIN32_BUILD ?= build-win32
WIN64_BUILD ?= build-win64
PACKAGE_BUILD ?= build-package
JOBS       ?= $(shell nproc)

.PHONY: all deps build test test-faults sanitize tsan bench fuzz demo windows wine-test package package-test clean

all: build

deps:
	@scripts/deps.sh core

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The storage fault sweep (label "faults") runs for minutes: make test-faults,
# plainly and under AddressSanitizer.
test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE faults

test-faults: build
	@ctest --test-dir $(BUILD) --output-on-failure -V -L faults
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) --target posix_fault_injection_test -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -V -L faults

sanitize: deps
	@cmake -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS) -LE faults

tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -LE faults

bench:
	@scripts/deps.sh core bench
	@cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVEX_TESTS=OFF -DKORVEX_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@# Every program runs; one that misses its target fails the run at the end.
	@failed=""; for b in $(BENCH_BUILD)/bench/bench_*; do echo "== $$(basename $$b)"; \
	  $$b --benchmark_counters_tabular=true || failed="$$failed $$(basename $$b)"; done; \
	  if [ -n "$$failed" ]; then echo "bench: targets missed by$$failed"; exit 1; fi

fuzz:
	@scripts/deps.sh core fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_TESTS=OFF -DKORVEX_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do echo "== $$(basename $$f)"; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$(basename $$f); \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 $(FUZZ_BUILD)/corpus/$$(basename $$f) 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' || exit 1; \
	done

# korvex.dll for i686 (the products' platform) and x86_64, then the i686
# export table against scripts/exports-i686.txt.
windows:
	@scripts/deps.sh windows
	@cmake -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_TESTS=OFF --no-warn-unused-cli >/dev/null
	@cmake --build $(WIN32_BUILD) --target korvex -j $(JOBS)
	@cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo --no-warn-unused-cli >/dev/null
	@cmake --build $(WIN64_BUILD) --target korvex -j $(JOBS)
	@scripts/check-exports $(WIN32_BUILD)/korvex.dll

# The test suites cross-built for x86_64 and run under wine64 on a virtual display,
# then .reg files moved both ways between the Linux tool and Wine's registry.
wine-test:
	@scripts/deps.sh core windows
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) --target korvex_tool -j $(JOBS)
	@scripts/wine-test $(WIN64_BUILD) $(JOBS) $(BUILD)/tools/korvex

demo: build
	@$(BUILD)/tools/korvex demo $(BUILD)/demo

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(WIN32_BUILD) $(WIN64_BUILD) $(PACKAGE_BUILD)

# Debian packages (libkorvex3, libkorvex-dev, korvex-tools) in $(PACKAGE_BUILD).
package:
	@scripts/deps.sh core package
	@# The distribution's hardening flags; CMake takes no CPPFLAGS, so they join CXXFLAGS.
	@eval "$$(dpkg-buildflags --export=sh)" && export CXXFLAGS="$$CXXFLAGS $$CPPFLAGS" CFLAGS="$$CFLAGS $$CPPFLAGS" && \
	  cmake -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DKORVEX_TESTS=OFF -DKORVEX_PACKAGE=ON >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB >/dev/null
	@ls $(PACKAGE_BUILD)/*.deb

# The packages unpacked into a scratch root, built against both ways, and lintian.
package-test: package
	@scripts/package-test $(PACKAGE_BUILD)

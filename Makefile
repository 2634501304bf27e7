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
DOCS_BUILD ?= build-docs
JOBS       ?= $(shell nproc)
# ON turns compiler warnings in our own targets into errors (.ci/run does).
KORVEX_WERROR ?= OFF
# Configure steps drop CMake's chatter (stdout); its warnings go to stderr and show.
CONFIGURE  = cmake -DKORVEX_WERROR=$(KORVEX_WERROR)
MUTANTS    ?= 200

.PHONY: all deps build test test-faults sanitize tsan bench format fuzz mutants demo windows wine-test package package-test docs clean

all: build

deps:
	@scripts/deps.sh core

build: deps
	@$(CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

# The storage fault sweep (label "faults") runs for minutes: make test-faults,
# plainly and under AddressSanitizer.
test: build
	@ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -LE faults

test-faults: build
	@ctest --test-dir $(BUILD) --output-on-failure -V -L faults
	@$(CONFIGURE) -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) --target posix_fault_injection_test -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -V -L faults

sanitize: deps
	@$(CONFIGURE) -S . -B $(SAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_SANITIZE=ON >/dev/null
	@cmake --build $(SAN_BUILD) -j $(JOBS)
	@ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(SAN_BUILD) --output-on-failure -j $(JOBS) -LE faults

tsan: deps
	@$(CONFIGURE) -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVEX_TSAN=ON >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	@TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/scripts/tsan.supp" \
	  ctest --test-dir $(TSAN_BUILD) --output-on-failure -j $(JOBS) -LE faults

bench:
	@scripts/deps.sh core bench
	@$(CONFIGURE) -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DKORVEX_TESTS=OFF -DKORVEX_BENCH=ON >/dev/null
	@cmake --build $(BENCH_BUILD) -j $(JOBS)
	@# Every program runs; one that misses its target fails the run at the end.
	@# Each starts once the last one's files are written back, not while.
	@failed=""; for b in $(BENCH_BUILD)/bench/bench_*; do \
	  sync; echo "== $$(basename $$b), load average $$(cut -d" " -f1-3 /proc/loadavg)"; \
	  $$b --benchmark_counters_tabular=true || failed="$$failed $$(basename $$b)"; done; \
	  if [ -n "$$failed" ]; then echo "bench: targets missed by$$failed"; exit 1; fi

fuzz:
	@scripts/deps.sh core fuzz
	@CC=clang CXX=clang++ $(CONFIGURE) -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_TESTS=OFF -DKORVEX_FUZZ=ON >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS)
	@# A fuzzer that fails stops the target; its input stays in $(FUZZ_BUILD)/crashes/<name>/.
	@for f in $(FUZZ_BUILD)/fuzz/fuzz_*; do name=$$(basename $$f); echo "== $$name"; \
	  mkdir -p $(FUZZ_BUILD)/corpus/$$name $(FUZZ_BUILD)/crashes/$$name; \
	  $$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 -artifact_prefix=$(FUZZ_BUILD)/crashes/$$name/ \
	    $(FUZZ_BUILD)/corpus/$$name >$(FUZZ_BUILD)/$$name.log 2>&1; status=$$?; \
	  grep 'stat::number_of_executed_units' $(FUZZ_BUILD)/$$name.log; \
	  if [ $$status -ne 0 ]; then grep -A20 -E '^==[0-9]+==ERROR|^SUMMARY' $(FUZZ_BUILD)/$$name.log; \
	    echo "fuzz: $$name failed, input kept in $(FUZZ_BUILD)/crashes/$$name/"; exit 1; fi; \
	done

# Every C and C++ source in the house style (.clang-format).
format:
	@scripts/deps.sh format
	@git ls-files '*.c' '*.cpp' '*.h' | xargs clang-format -i

# How many of a seeded sample of small faults in the library the tests catch.
mutants:
	@scripts/deps.sh core mutants
	@nice -n 10 scripts/mutants $(MUTANTS)

# korvex.dll for i686 (the products' platform) and x86_64, then the i686
# export table against scripts/exports-i686.txt.
windows:
	@scripts/deps.sh windows
	@$(CONFIGURE) -S . -B $(WIN32_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEX_TESTS=OFF --no-warn-unused-cli >/dev/null
	@cmake --build $(WIN32_BUILD) --target korvex -j $(JOBS)
	@$(CONFIGURE) -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo --no-warn-unused-cli >/dev/null
	@cmake --build $(WIN64_BUILD) --target korvex -j $(JOBS)
	@scripts/check-exports $(WIN32_BUILD)/korvex.dll

# The test suites cross-built for x86_64 and run under wine64 on a virtual display,
# then .reg files moved both ways between the Linux tool and Wine's registry.
wine-test:
	@scripts/deps.sh core windows
	@$(CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) --target korvex_tool -j $(JOBS)
	@scripts/wine-test $(WIN64_BUILD) $(JOBS) $(BUILD)/tools/korvex

# Builds only what the demo runs: the library and the tool.
demo: deps
	@$(CONFIGURE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) --target korvex_tool -j $(JOBS)
	@$(BUILD)/tools/korvex demo $(BUILD)/demo

# The reference (HTML) in $(DOCS_BUILD)/html; fails on any undocumented public declaration.
docs:
	@scripts/deps.sh docs
	@scripts/docs $(DOCS_BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD) $(WIN32_BUILD) $(WIN64_BUILD) $(PACKAGE_BUILD) $(DOCS_BUILD)

# Debian packages (libkorvex3, libkorvex-dev, korvex-tools, libkorvex-doc, and the
# -dbgsym packages of the first and third) in $(PACKAGE_BUILD).
package:
	@scripts/deps.sh core package docs
	@# The distribution's hardening flags, all of them (bindnow too); CMake takes
	@# no CPPFLAGS, so they join CXXFLAGS.
	@eval "$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)" && export CXXFLAGS="$$CXXFLAGS $$CPPFLAGS" CFLAGS="$$CFLAGS $$CPPFLAGS" && \
	  $(CONFIGURE) -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DKORVEX_TESTS=OFF -DKORVEX_PACKAGE=ON >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB >/dev/null
	@ls $(PACKAGE_BUILD)/*.deb $(PACKAGE_BUILD)/*.ddeb

# The packages unpacked into a scratch root, built against both ways, and lintian.
package-test: package
	@scripts/package-test $(PACKAGE_BUILD)

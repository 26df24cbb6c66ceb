# Thin wrapper around CMake. `make run` shows the decompiler on the bundled example;
# `make test` builds and runs every test, the editor checks included.
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# QBKIT_WERROR=ON in the environment (as CI sets it) turns every warning into an error.
WERROR := -DQBKIT_WERROR=$(or $(QBKIT_WERROR),OFF)

.PHONY: all build run test editors-test sanitize clang-test bench fuzz clean windows windows-test
SHELL := /bin/bash

all: build

build:
	cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=ON $(WERROR)
	cmake --build build -j $(JOBS)

run: build
	@mkdir -p build/example
	@cp examples/example.qb build/example/example.qb
	cd build/example && ../qbkit -d example.qb

test: build
	cd build && ctest --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory editors-test

# The editor files under editors/: the grammar's unit tests, decompiled samples of both
# layouts tokenised as VS Code tokenises them, the Notepad++ and Sublime files checked against
# the grammar, and the VS Code extension packaged into build/editors/. Runs on Node.js; the npm
# packages come from editors/package-lock.json, installed into editors/node_modules when
# missing or older than the lock file.
editors-test: build
	@if ! command -v node >/dev/null || ! command -v npm >/dev/null; then \
	  echo "make editors-test needs Node.js and npm: run apt-get install nodejs npm as root"; exit 1; \
	fi
	@if [ ! -f editors/node_modules/.package-lock.json ] || \
	    [ editors/package-lock.json -nt editors/node_modules/.package-lock.json ]; then \
	  echo "Installing the editor checks' npm packages into editors/node_modules"; \
	  cd editors && npm ci --no-audit --no-fund --loglevel=error; \
	fi
	cd editors && QBKIT_BUILD="$(CURDIR)/build" node --test tests/

sanitize:
	cmake -S . -B build-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DQBKIT_TESTS=ON -DQBKIT_SANITIZE=ON $(WERROR)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The whole build and its tests with clang++, in build-clang/: the code must build without
# warnings under both compilers (CI sets QBKIT_WERROR=ON).
clang-test:
	cmake -S . -B build-clang $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=ON $(WERROR)
	cmake --build build-clang -j $(JOBS)
	cd build-clang && ctest --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B build-bench $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=OFF -DQBKIT_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	./build-bench/bench/qbkit_bench
	python3 bench/whole_process.py build-bench/qbkit build-bench/bench/make_bench_data build-bench/whole-process

# Every fuzz target for FUZZ_SECONDS each (default 60), from seeds made by fuzz/make_seeds.py.
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B build-fuzz $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQBKIT_TESTS=OFF -DQBKIT_FUZZ=ON $(WERROR)
	cmake --build build-fuzz -j $(JOBS)
	python3 fuzz/make_seeds.py build-fuzz/qbkit build-fuzz/seeds
	@set -e; for bin in build-fuzz/fuzz/fuzz_*; do \
	  name=$${bin##*/fuzz_}; log=build-fuzz/$$name.log; \
	  mkdir -p build-fuzz/corpus/$$name build-fuzz/seeds/$$name; \
	  echo "== fuzz $$name for $(FUZZ_SECONDS) s"; \
	  if ! $$bin -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	      -artifact_prefix=build-fuzz/$$name- build-fuzz/corpus/$$name build-fuzz/seeds/$$name fuzz/corpus/$$name >$$log 2>&1; then \
	    tail -n 60 $$log; echo "fuzz $$name found a failure (input saved as build-fuzz/$$name-*)"; exit 1; \
	  fi; \
	  grep -E '^stat::number_of_executed_units' $$log; \
	done

# Windows: qbkit.exe cross-compiled with MinGW-w64 (statically linked, no DLLs), in build-win/.
# `make windows` installs nothing. `make windows-test` runs the end-to-end tests of the Linux
# test binary (built in $(LINUX_BUILD)/) against build-win/qbkit.exe under Wine; when the cross
# compiler or Wine is missing and it runs as root, it installs them with apt-get first.
LINUX_BUILD ?= build
WIN_PACKAGES := g++-mingw-w64-x86-64-posix wine64
FIND_WINE := command -v wine64 || { test -x /usr/lib/wine/wine64 && echo /usr/lib/wine/wine64; } || command -v wine

windows:
	cmake -S . -B build-win $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake
	cmake --build build-win -j $(JOBS)

windows-test:
	@if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! ($(FIND_WINE)) >/dev/null; then \
	  if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null; then \
	    echo "Installing $(WIN_PACKAGES) with apt-get"; \
	    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $(WIN_PACKAGES); \
	  else \
	    echo "make windows-test needs $(WIN_PACKAGES): run apt-get install $(WIN_PACKAGES) as root"; exit 1; \
	  fi; \
	fi
	$(MAKE) windows
	cmake -S . -B $(LINUX_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=ON
	cmake --build $(LINUX_BUILD) -j $(JOBS)
	@wine="$$($(FIND_WINE))"; \
	export WINEPREFIX="$(CURDIR)/build-win/wineprefix" WINEDEBUG=-all; \
	echo "Starting Wine ($$wine) in build-win/wineprefix"; \
	: "One persistent wineserver, started before any Wine program, serves the whole run: a"; \
	: "server that shuts down while the next test connects resets that launch."; \
	server="$$(dirname "$$wine")/wineserver"; [ -x "$$server" ] || server="$$(command -v wineserver)"; \
	mkdir -p "$$WINEPREFIX"; \
	if [ -n "$$server" ]; then "$$server" -k >/dev/null 2>&1 || true; "$$server" -p; trap '"$$server" -k' EXIT; fi; \
	"$$wine" cmd /c exit 0 >/dev/null 2>&1 || { echo "Wine does not start"; exit 1; }; \
	cd $(LINUX_BUILD) && QBKIT_EXE="$$wine $(CURDIR)/build-win/qbkit.exe" ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-asan build-bench build-clang build-fuzz build-win

# Thin wrapper around CMake. `make run` builds the tool alone and shows the decompiler on the
# bundled example; `make test` builds and runs every test, the editor checks included;
# `make dist` writes the packages a user downloads into dist/.
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# QBKIT_WERROR=ON in the environment (as CI sets it) turns every warning into an error.
WERROR := -DQBKIT_WERROR=$(or $(QBKIT_WERROR),OFF)

.PHONY: all configure build run test editors-packages editors-test sanitize clang-test bench fuzz clean \
	windows windows-tools windows-test dist dist-test
SHELL := /bin/bash

all: build

configure:
	cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=ON $(WERROR)

build: configure
	cmake --build build -j $(JOBS)

# The tool alone, in the tree that `make build` uses: no test is built.
run: configure
	cmake --build build -j $(JOBS) --target qbkit
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
editors-test: build editors-packages
	cd editors && QBKIT_BUILD="$(CURDIR)/build" node --test tests/

editors-packages:
	@if ! command -v node >/dev/null || ! command -v npm >/dev/null; then \
	  echo "make $(MAKECMDGOALS) needs Node.js and npm: run apt-get install nodejs npm as root"; exit 1; \
	fi
	@if [ ! -f editors/node_modules/.package-lock.json ] || \
	    [ editors/package-lock.json -nt editors/node_modules/.package-lock.json ]; then \
	  echo "Installing the editor checks' npm packages into editors/node_modules"; \
	  cd editors && npm ci --no-audit --no-fund --loglevel=error; \
	fi

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
	./build-bench/bench/qbkit_lzss_bench
	./build-bench/bench/qbkit_bench
	python3 bench/whole_process.py build-bench/qbkit build-bench/bench/make_bench_data build-bench/whole-process
	python3 bench/language_server.py build-bench/qbkit build-bench/whole-process

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

# The cross compiler and Wine, installed with apt-get when missing and run as root.
windows-tools:
	@if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! ($(FIND_WINE)) >/dev/null; then \
	  if [ "$$(id -u)" = 0 ] && command -v apt-get >/dev/null; then \
	    echo "Installing $(WIN_PACKAGES) with apt-get"; \
	    apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $(WIN_PACKAGES); \
	  else \
	    echo "make $(MAKECMDGOALS) needs $(WIN_PACKAGES): run apt-get install $(WIN_PACKAGES) as root"; exit 1; \
	  fi; \
	fi

windows-test: windows-tools
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

# What a user downloads, in dist/ (made anew each time): qbkit-X.Y.Z-windows-x64.zip
# (qbkit.exe, the README, the example, the editor files and SHA256SUMS, packaged by CPack in
# build-win/), and a tarball and a .deb of the static Linux binary (packaged in build/). The
# VS Code extension is packaged by the editor checks' own packaging test. Works offline once
# the npm packages are installed; the cross compiler is installed as for windows-test.
VSIX = $(shell node -p "const m = require('./editors/vscode/package.json'); m.name + '-' + m.version" 2>/dev/null).vsix

dist: windows-tools editors-packages configure
	cmake --build build -j $(JOBS) --target qbkit
	cd editors && QBKIT_BUILD="$(CURDIR)/build" node --test --test-name-pattern='packages offline' tests/editor_files.test.js
	cmake -S . -B build-win $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=OFF \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake -DQBKIT_VSIX=$(CURDIR)/build/editors/$(VSIX)
	cmake --build build-win -j $(JOBS) --target qbkit
	rm -rf dist build-win/cpack build/cpack
	cd build-win && cpack -B cpack
	cd build && cpack -B cpack
	mkdir -p dist
	cp build-win/cpack/*.zip build/cpack/*.tar.gz build/cpack/*.deb dist/
	@ls -l dist

# Checks what `make dist` wrote: the zip's files and SHA256SUMS, qbkit.exe under Wine on the
# example against the Linux binary, its version resource, the tarball and the .deb.
dist-test: dist
	bash tests/dist/dist_test.sh

clean:
	rm -rf build build-asan build-bench build-clang build-fuzz build-win dist

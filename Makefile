# Thin wrapper around CMake. `make run` shows the decompiler on the bundled example;
# `make test` builds and runs every test.
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test sanitize bench fuzz clean
SHELL := /bin/bash

all: build

build:
	cmake -S . -B build $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=ON
	cmake --build build -j $(JOBS)

run: build
	@mkdir -p build/example
	@cp examples/example.qb build/example/example.qb
	cd build/example && ../qbkit -d example.qb

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

sanitize:
	cmake -S . -B build-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DQBKIT_TESTS=ON -DQBKIT_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench:
	cmake -S . -B build-bench $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DQBKIT_TESTS=OFF -DQBKIT_BENCH=ON
	cmake --build build-bench -j $(JOBS)
	./build-bench/bench/qbkit_bench

# Every fuzz target for FUZZ_SECONDS each (default 60), from seeds made by fuzz/make_seeds.py.
FUZZ_SECONDS ?= 60
fuzz:
	cmake -S . -B build-fuzz $(GENERATOR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQBKIT_TESTS=OFF -DQBKIT_FUZZ=ON
	cmake --build build-fuzz -j $(JOBS)
	python3 fuzz/make_seeds.py build-fuzz/qbkit build-fuzz/seeds
	@set -e; for bin in build-fuzz/fuzz/fuzz_*; do \
	  name=$${bin##*/fuzz_}; log=build-fuzz/$$name.log; \
	  mkdir -p build-fuzz/corpus/$$name build-fuzz/seeds/$$name; \
	  echo "== fuzz $$name for $(FUZZ_SECONDS) s"; \
	  if ! $$bin -max_total_time=$(FUZZ_SECONDS) -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	      -artifact_prefix=build-fuzz/$$name- build-fuzz/corpus/$$name build-fuzz/seeds/$$name >$$log 2>&1; then \
	    tail -n 60 $$log; echo "fuzz $$name found a failure (input saved as build-fuzz/$$name-*)"; exit 1; \
	  fi; \
	  grep -E '^stat::number_of_executed_units' $$log; \
	done

clean:
	rm -rf build build-asan build-bench build-fuzz build-win

# Thin wrapper around CMake. `make run` shows the decompiler on the bundled example;
# `make test` builds and runs every test.
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test sanitize bench fuzz clean

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

clean:
	rm -rf build build-asan build-bench build-fuzz build-win

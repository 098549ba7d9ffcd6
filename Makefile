# The two commands of the README: `make demo` and `make test`.
# Each first installs what is missing (scripts/setup), configures and builds.
JOBS ?= 2
CMAKE_GEN = -G Ninja

.PHONY: all demo test bench fuzz setup release asan clean

all: release

setup:
	@scripts/setup

release: setup
	@cmake -S . -B build/release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DORVIK_TESTS=OFF -DORVIK_BENCH=ON >/dev/null
	@cmake --build build/release -j $(JOBS)

demo: release
	build/release/bin/orvik demo build/demo

asan: setup
	@cmake -S . -B build/asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DORVIK_SANITIZE=ON \
	  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
	@cmake --build build/asan -j $(JOBS)

test: asan
	cd build/asan && ctest --output-on-failure -j $(JOBS)

bench: release
	@for b in build/release/bin/bench_*; do echo "== $$b"; $$b; done

fuzz: setup
	@CC=clang-14 CXX=clang++-14 cmake -S . -B build/fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug \
	  -DORVIK_FUZZ=ON -DORVIK_TESTS=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
	@cmake --build build/fuzz -j $(JOBS)
	@for f in build/fuzz/bin/fuzz_*; do \
	  name=$${f##*/fuzz_}; mkdir -p build/fuzz/corpus/$$name; \
	  echo "== $$name"; \
	  $$f -max_total_time=$${FUZZ_SECONDS:-30} build/fuzz/corpus/$$name fuzz/corpus/$$name || exit 1; \
	done

clean:
	rm -rf build

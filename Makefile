# Thin wrapper over CMake. `make test` is the whole suite; `make demo` renders the bundled song.
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build test test-release test-sanitize demo bench clean

all: build

deps:
	@sh scripts/install-deps.sh

# The test builds insist on every part, so a missing dependency fails loudly instead of skipping tests.
ALL_PARTS = -DAHX_BUILD_TOOL=ON -DAHX_BUILD_TESTS=ON -DAHX_BUILD_BENCH=ON

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DAHX_WERROR=ON $(ALL_PARTS) $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

test-release: build
	ctest --test-dir build --output-on-failure

# Sanitizer build with clang, so both compilers see the code warning-free on every run.
test-sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAHX_SANITIZE=ON -DAHX_WERROR=ON $(ALL_PARTS) \
	      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure

test: test-release test-sanitize

# Rewrites demo/*.hvl|ahx from their sources (only when they changed), rebuilds the tool that
# embeds the song, renders it to demo.wav and the short AHX song beside the build.
demo: build
	./build/demo/demo_compose demo
	cmake --build build -j $(JOBS)
	./build/ahx render -o demo.wav --force
	./build/ahx render demo/jingle.ahx -o build/jingle.wav --force

bench: build
	./build/bench/ahx_bench
	./build/bench/ahx_play_bench

clean:
	rm -rf build build-asan

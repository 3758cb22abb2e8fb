# Thin wrapper over CMake. `make test` is the whole suite; `make demo` renders the bundled song.
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build test test-release test-sanitize test-web web web-deps demo bench bench-web clean

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

# The web player: build-web/site/ holds the WebAssembly engine, the page and the demo song.
web:
	@sh scripts/install-deps.sh emscripten
	emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DAHX_WERROR=ON
	cmake --build build-web -j $(JOBS)

# What the web player's tests and benchmark run with: Debian's Chromium and the pinned npm packages.
web-deps:
	@sh scripts/install-deps.sh chromium
	cd web && npm ci --no-audit --no-fund --loglevel=error

# The web player against the native tool (which the release build makes), in node and in Chromium.
test-web: build web web-deps
	cd web && node --test test/*.test.mjs

# Render speed of the wasm in node and in Chromium against the native library.
bench-web: build web web-deps
	node bench/web_render_speed.mjs

test: test-release test-sanitize test-web

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
	rm -rf build build-asan build-web web/node_modules

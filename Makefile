# Thin wrapper over CMake. `make test` is the whole suite; `make demo` renders the bundled song.
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build test test-release test-sanitize test-threads test-web web web-deps fuzz demo bench bench-web soak clean

all: build

deps:
	@sh scripts/install-deps.sh

# The test builds insist on every part, so a missing dependency fails loudly instead of skipping tests.
ALL_PARTS = -DAHX_BUILD_TOOL=ON -DAHX_BUILD_PLAY=ON -DAHX_BUILD_TESTS=ON -DAHX_BUILD_BENCH=ON -DAHX_BUILD_GST=ON

build: deps
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DAHX_WERROR=ON $(ALL_PARTS) $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

test-release: build
	ctest --test-dir build --output-on-failure

# Sanitizer build with clang, so both compilers see the code warning-free on every run. It also
# builds the fuzz targets (everything they link carries coverage counters) and its tests replay
# every seed and committed regression input through them.
CONFIGURE_SANITIZE = cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAHX_SANITIZE=ON -DAHX_WERROR=ON \
	$(ALL_PARTS) -DAHX_BUILD_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ $(CMAKE_FLAGS)
test-sanitize: deps
	$(CONFIGURE_SANITIZE)
	cmake --build build-asan -j $(JOBS)
	ctest --test-dir build-asan --output-on-failure

# Runs every fuzz target for FUZZ_SECONDS on the sanitizer build. The grown corpus stays in
# build-asan/fuzz/corpus; a finding stops the run and lands in build-asan/fuzz/findings.
# A fiftieth of a second renders in well under a millisecond even instrumented and every target
# renders a few hundred per input, so an input still running after FUZZ_TIMEOUT seconds is a hang.
FUZZ_SECONDS ?= 60
FUZZ_TIMEOUT ?= 10
FUZZ_TARGETS = fuzz_built_song fuzz_plugin_host fuzz_library_api
fuzz: deps
	$(CONFIGURE_SANITIZE)
	cmake --build build-asan -j $(JOBS) --target fuzz_all
	./build-asan/fuzz/make_fuzz_seeds build-asan/fuzz/seeds
	@for t in $(FUZZ_TARGETS); do \
	  mkdir -p build-asan/fuzz/corpus/$$t build-asan/fuzz/findings fuzz/regressions/$$t; \
	  echo "== $$t for $(FUZZ_SECONDS) s"; \
	  ./build-asan/fuzz/$$t -max_total_time=$(FUZZ_SECONDS) -timeout=$(FUZZ_TIMEOUT) -rss_limit_mb=2048 \
	    -dict=fuzz/modules.dict -print_final_stats=1 -artifact_prefix=build-asan/fuzz/findings/$$t- \
	    build-asan/fuzz/corpus/$$t build-asan/fuzz/seeds/$$t fuzz/regressions/$$t \
	    2>build-asan/fuzz/$$t.log || { tail -n 60 build-asan/fuzz/$$t.log; exit 1; }; \
	  grep -E '^(#[0-9]+ +DONE|stat::)' build-asan/fuzz/$$t.log; \
	done
	@echo "fuzz: $(words $(FUZZ_TARGETS)) passed, 0 failed"

# ThreadSanitizer on the only test that runs threads: that test and the plug-in, nothing else.
test-threads: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAHX_WERROR=ON -DAHX_BUILD_TESTS=ON \
	      -DAHX_BUILD_TOOL=OFF -DAHX_BUILD_PLAY=OFF -DAHX_BUILD_BENCH=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	      -DCMAKE_C_FLAGS="-fsanitize=thread" -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target thread_tests
	TSAN_OPTIONS=halt_on_error=1 ./build-tsan/tests/threads/thread_tests


# The web player: build-web/site/ holds the WebAssembly engine, the page and the demo song.
web:
	@sh scripts/install-deps.sh emscripten
	emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DAHX_WERROR=ON
	cmake --build build-web -j $(JOBS)

# What the web player's tests and benchmark run with: Debian's Chromium and Firefox ESR, and the pinned
# npm packages.
web-deps:
	@sh scripts/install-deps.sh chromium firefox-esr
	cd web && npm ci --no-audit --no-fund --loglevel=error

# The web player against the native tool (which the release build makes), in node, Chromium and Firefox.
test-web: build web web-deps
	cd web && node --test test/*.test.mjs

# Render speed of the wasm in node and in Chromium against the native library.
bench-web: build web web-deps
	node bench/web_render_speed.mjs

test: test-release test-sanitize test-threads test-web

# Rewrites demo/*.hvl|ahx from their sources (only when they changed), rebuilds the tool that
# embeds the song, renders it to demo.wav and the short AHX song beside the build. It needs and
# builds only the library and the tool (play included): the tests and benchmarks are left out of
# the configuration, which `make build` and `make test` turn on again.
DEMO_PARTS = -DAHX_BUILD_TOOL=ON -DAHX_BUILD_PLAY=ON -DAHX_BUILD_TESTS=OFF -DAHX_BUILD_BENCH=OFF
demo:
	@sh scripts/install-deps.sh tool
	cmake -S . -B build -DCMAKE_BUILD_TYPE=Release $(DEMO_PARTS) $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target demo_compose
	./build/demo/demo_compose demo
	cmake --build build -j $(JOBS) --target ahx
	./build/ahx render -o demo.wav --force
	./build/ahx render demo/jingle.ahx -o build/jingle.wav --force
	@echo "To listen: build/ahx play demo/demo.hvl"

bench: build
	./build/bench/ahx_bench
	./build/bench/ahx_play_bench

# Ten thousand open / render / rewind / close cycles; prints the resident size as it goes.
soak: build
	./build/bench/ahx_soak

clean:
	rm -rf build build-asan build-tsan build-web web/node_modules

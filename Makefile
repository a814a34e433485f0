# The two commands of the README: `make run` and `make test`. Both install what they need.
BUILD ?= build
CMAKE_FLAGS ?=

.PHONY: all deps deps-run configure build test run install format clean demo windows conformance bench

all: build

# Every package: building, running, testing, benchmarks, the Windows build.
deps:
	@scripts/install-deps.sh

# Only what building and running the viewer needs; asked again only once dpkg has changed.
deps-run:
	@[ $(BUILD)/.run-packages -nt /var/lib/dpkg/status ] && \
	[ $(BUILD)/.run-packages -nt scripts/install-deps.sh ] || \
	{ scripts/install-deps.sh run && mkdir -p $(BUILD) && touch $(BUILD)/.run-packages; }

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DBUILD_TESTING=ON $(CMAKE_FLAGS) >/dev/null

# A build folder that does not exist yet is configured without the tests (whose packages
# `make run` does not install); one that exists is used as it is, and ninja configures it again
# when a CMakeLists.txt has changed.
configure-if-new = [ -f $(BUILD)/build.ninja ] || \
	cmake -S . -B $(BUILD) -G Ninja -DBUILD_TESTING=OFF $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD)

test: build
	@cd $(BUILD) && ctest --output-on-failure -j2

# The viewer and xofview-shot alone, then the demo.
run: deps-run
	@$(configure-if-new)
	@cmake --build $(BUILD) --target xofview xofview-shot
	@scripts/run-demo.sh $(BUILD)

# The programs, menu entry, MIME type, thumbnailer and icons under PREFIX; DESTDIR stages them.
PREFIX ?= /usr/local
install: deps-run
	@$(configure-if-new)
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD)
	@DESTDIR=$(DESTDIR) cmake --install $(BUILD)

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD)

# Regenerates demo/ from tools/make_demo.cpp.
demo: configure
	@cmake --build $(BUILD) --target make_demo
	@$(BUILD)/tools/make_demo demo

# The viewer and xofview-shot for Windows (mingw-w64), into build-windows/.
windows: deps
	@scripts/windows-build.sh

# Our platform against the Windows build under Wine, scene by scene (tests/conformance).
conformance: configure
	@tests/conformance/run.sh $(BUILD)

# Load, frame and start-up benchmarks against Assimp and minimal GL programs, skinning against a
# plain loop (bench/), and thumbnails in one run against one run per model, in a Release build of
# its own; not part of `make test`.
BENCH_BUILD ?= build-bench
bench: deps
	@cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(BENCH_BUILD) --target load_bench frame_bench same_frame draw_calls skin_bench \
	  xofview-shot
	@rm -f $(BENCH_BUILD)/bench-results.tsv
	@$(BENCH_BUILD)/bench/load_bench
	@$(BENCH_BUILD)/bench/frame_bench
	@$(BENCH_BUILD)/bench/draw_calls
	@$(BENCH_BUILD)/bench/skin_bench
	@bench/thumbnail_batch.sh $(BENCH_BUILD)/tools/xofview-shot $(CURDIR)/../shared/xcorpus

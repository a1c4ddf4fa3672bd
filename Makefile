# The two commands of the README:  make run [FIGURE=figureN] [ARGS="--scale 2"]   and   make test
# A Debian package of the programs:  make package
# The browser build:                make web   and   make serve [PORT=8080] [HOST=0.0.0.0]
FIGURE ?= figure1
BUILD ?= build
ASAN_BUILD ?= build-asan
WEB_BUILD ?= build-web
FUZZ_BUILD ?= build-fuzz
PORT ?= 8080
HOST ?= 127.0.0.1
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# The Debian packages: tools/packages.sh run installs what building and running the programs
# needs; tools/packages.sh test adds the test suite's, and tries the optional ones (the browser
# build, Chromium, clang's fuzzing runtime, valgrind, openbox), whose tests skip without them.
# Only make run, make deps and make test install packages; every other target uses what is there
# and says what is missing.

# Warnings are errors in the builds that run the checks, not in the one make run uses (a newer
# compiler's new warning must not keep anyone from seeing the slides).
CHECKS = -DCMAKE_COMPILE_WARNING_AS_ERROR=ON

# The page and the programs compiled for it land beside the desktop programs, in $(BUILD)/web.
WEB_DIR = $(abspath $(BUILD)/web)

.PHONY: run-deps deps programs configure build run test check package test-asan test-fuzz \
	test-i686 fuzz-build web serve bench fuzz clean

run-deps:
	@bash tools/packages.sh run

deps:
	@bash tools/packages.sh test

# The six programs alone. A first configure here leaves the tests out, so that GoogleTest is not
# needed; make test turns them on in the same build folder.
programs:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release \
	  $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DBUILD_TESTING=OFF)
	cmake --build $(BUILD) -j $(JOBS) --target programs

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON $(CHECKS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The programs, their manual pages and the README as a .deb in $(BUILD)/packages.
package: programs
	cmake --build $(BUILD) -j $(JOBS) --target man_pages
	cd $(BUILD) && cpack -G DEB

run: run-deps
	@$(MAKE) --no-print-directory programs
	@if [ ! -x $(BUILD)/bin/$(FIGURE) ]; then \
	  echo "no program $(FIGURE); built:" $$(ls $(BUILD)/bin); exit 2; fi
	$(BUILD)/bin/$(FIGURE) $(ARGS)

# The browser test compares the page's canvas with these programs' exports; without emscripten
# there is no page and that test reports itself skipped.
test: deps
	@$(MAKE) --no-print-directory build
	@if command -v emcc >/dev/null; then \
	  $(MAKE) --no-print-directory web && \
	  cmake --build $(WEB_BUILD) -j $(JOBS) --target orbit_identity_node; \
	else \
	  echo "emcc is not installed: no browser build, the browser test will be skipped"; \
	fi
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-fuzz
	$(MAKE) --no-print-directory test-asan

# The six programs cross-built for 32-bit x86 must draw every slide as this machine's do. Only on
# request (CI makes it, after installing its packages with tools/packages.sh i686, which adds i386
# to dpkg's architectures for the :i386 libraries).
test-i686: programs
	@bash tests/i686_test.sh $(CURDIR) $(BUILD) $(BUILD)/i686; status=$$?; \
	  if [ $$status = 77 ]; then echo "the 32-bit x86 comparison was not made"; \
	  else exit $$status; fi

# The inner loop: the unit tests, each program's slides, the command line and the install, in
# seconds; no browser, windows, valgrind, fuzzing or cross build.
check: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L quick

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFIGURES_SANITIZE=ON $(CHECKS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Every program compiled to WebAssembly, with the page that runs them, into $(BUILD)/web. The
# desktop programs are built first, with tools/png_crop: the landing page shows each one's last
# slide, exported by them and cropped to what it draws, and a strip by explore. emcc's JavaScript optimiser needs Debian's acorn module, which lives outside node's path
# (make test builds the WebAssembly orbit check with emcc too).
web test: export NODE_PATH := /usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
web:
	@command -v emcc >/dev/null || { \
	  echo "emscripten is not installed (make deps installs it): no browser build"; exit 2; }
	$(MAKE) --no-print-directory programs
	cmake --build $(BUILD) -j $(JOBS) --target png_crop
	emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DFIGURES_WEB_DIR=$(WEB_DIR) \
	  -DFIGURES_DESKTOP_BIN=$(abspath $(BUILD))/bin
	cmake --build $(WEB_BUILD) -j $(JOBS)
	@echo "The page is in $(BUILD)/web: make serve, then open http://127.0.0.1:$(PORT)/"

# The browser runs the programs only from a web server. This one answers on this machine only;
# HOST=0.0.0.0 lets a phone or another computer on the same network in (at this machine's
# address, which the second line names).
serve:
	@if [ ! -f $(BUILD)/web/index.html ]; then \
	  echo "no page in $(BUILD)/web: make web builds it"; exit 2; fi
	@command -v python3 >/dev/null || { \
	  echo "make serve needs python3 (apt-get install python3), or any web server for $(BUILD)/web"; exit 2; }
	@echo "Open http://$(if $(filter 0.0.0.0,$(HOST)),127.0.0.1,$(HOST)):$(PORT)/ in a browser; Ctrl+C stops the server."
	@if [ "$(HOST)" = 0.0.0.0 ]; then \
	  echo "From another device on this network: http://$$(hostname -I 2>/dev/null | cut -d' ' -f1):$(PORT)/"; fi
	python3 -m http.server --bind $(HOST) --directory $(BUILD)/web $(PORT)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD) $(FUZZ_BUILD)


# The orbit plotter against the textbook loop, every slide's drawing time and image writing,
# measured on this machine (see the README's performance section).
bench: programs
	cmake --build $(BUILD) -j $(JOBS) --target figures_bench
	$(BUILD)/bin/figures_bench

# The fuzz targets, in a clang build of their own (clang and its libFuzzer runtime); make test
# runs each for a few seconds there, make fuzz for a minute each.
fuzz-build:
	@command -v clang++ >/dev/null || { echo "clang is not installed: no fuzz targets" \
	  "(Debian: clang libclang-rt-N-dev, N its major version)"; exit 2; }
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFIGURES_FUZZ=ON \
	  $(CHECKS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

test-fuzz:
	@if command -v clang++ >/dev/null; then \
	  $(MAKE) --no-print-directory fuzz-build && \
	  ctest --test-dir $(FUZZ_BUILD) --output-on-failure -j $(JOBS); \
	else \
	  echo "clang is not installed: the fuzz targets are not run"; \
	fi

fuzz: fuzz-build
	cmake --build $(FUZZ_BUILD) --target run_fuzzers

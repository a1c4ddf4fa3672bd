# The two commands of the README:  make run [FIGURE=figureN]   and   make test
# The browser build:                make web   and   make serve [PORT=8080]
FIGURE ?= figure1
BUILD ?= build
ASAN_BUILD ?= build-asan
WEB_BUILD ?= build-web
PORT ?= 8080
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build and the tests need.
PACKAGES = cmake g++ make pkg-config libsdl1.2-compat-dev libpng-dev libgtest-dev \
           xvfb xdotool imagemagick
# The fuzz targets (clang's libFuzzer) and the memory checks of whole exports.
CHECK_PACKAGES = clang libclang-rt-14-dev valgrind
# And for the browser build and its test: the compiler, the JavaScript parser its optimiser
# loads, and the browser the test drives.
WEB_PACKAGES = emscripten node-acorn chromium nodejs npm

# The page and the programs compiled for it land beside the desktop programs, in $(BUILD)/web.
WEB_DIR = $(abspath $(BUILD)/web)

SUDO = $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build run test test-asan web serve bench fuzz clean

# A Node.js from outside Debian (NodeSource's) brings its own npm and conflicts with Debian's
# npm package: a command already there counts as its package installed.
deps:
	@missing=$$(for p in $(PACKAGES) $(CHECK_PACKAGES) $(WEB_PACKAGES); do \
	    case $$p in npm) command -v npm >/dev/null && continue;; \
	                nodejs) command -v node >/dev/null && continue;; esac; \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -q && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -q --no-install-recommends $$missing; \
	fi
	@$(MAKE) --no-print-directory -s web/node_modules/.package-lock.json

# The browser test's driver and PNG reader, at the versions web/package-lock.json pins; again
# whenever the lock file changes (npm ci leaves its own copy of it in node_modules).
web/node_modules/.package-lock.json: web/package.json web/package-lock.json
	@echo "Installing the browser test's packages into web/node_modules (npm ci)"
	cd web && npm ci --no-audit --no-fund

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ ! -x $(BUILD)/bin/$(FIGURE) ]; then \
	  echo "no program $(FIGURE); built:" $$(ls $(BUILD)/bin); exit 2; fi
	$(BUILD)/bin/$(FIGURE)

# The browser test compares the page's canvas with these programs' exports; without emscripten
# there is no page and that test reports itself skipped.
test: build
	@if command -v emcc >/dev/null; then \
	  $(MAKE) --no-print-directory web; \
	else \
	  echo "emcc is not installed: no browser build, the browser test will be skipped"; \
	fi
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory test-asan

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFIGURES_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# Every program compiled to WebAssembly, with the page that runs them, into $(BUILD)/web.
# emcc's JavaScript optimiser needs Debian's acorn module, which lives outside node's own path.
web: export NODE_PATH := /usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))
web: deps
	emcmake cmake -S . -B $(WEB_BUILD) -DCMAKE_BUILD_TYPE=Release -DFIGURES_WEB_DIR=$(WEB_DIR)
	cmake --build $(WEB_BUILD) -j $(JOBS)
	@echo "The page is in $(BUILD)/web: make serve, then open http://127.0.0.1:$(PORT)/"

# The browser runs the programs only from a web server; this one answers on this machine only.
serve:
	@if [ ! -f $(BUILD)/web/index.html ]; then \
	  echo "no page in $(BUILD)/web: make web builds it"; exit 2; fi
	@echo "Open http://127.0.0.1:$(PORT)/ in a browser; Ctrl+C stops the server."
	python3 -m http.server --bind 127.0.0.1 --directory $(BUILD)/web $(PORT)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WEB_BUILD)


# The orbit plotter against the textbook loop, every slide's drawing time and image writing,
# measured on this machine (see the README's performance section).
bench: build
	$(BUILD)/bin/figures_bench

# Every fuzz target for a minute, from its committed seeds (needs clang and its libFuzzer
# runtime, which `make test` runs for a few seconds each).
fuzz: build
	@if ! cmake --build $(BUILD) --target help | grep -q run_fuzzers; then \
	  echo "no fuzz targets: install clang (Debian: clang libclang-rt-14-dev) and rerun"; exit 2; fi
	cmake --build $(BUILD) --target run_fuzzers

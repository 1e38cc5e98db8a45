# The commands of the README: `make run`, `make test` and `make check`.
BUILD_DIR ?= build
DIST_DIR  ?= dist
JOBS      ?= $(shell nproc)
# CI builds with warnings as errors.
WERROR    ?= $(if $(CI),ON,OFF)

.PHONY: all deps configure build run test check bench format clean package

all: build

deps:
	bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARL_WERROR=$(WERROR)

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# Installs into dist/ (never touched by a rebuild), creates the database only when it is
# missing, then starts the program there. Without a desktop session it stops after the install
# and says how to go on.
run: build
	cmake --install $(BUILD_DIR) --prefix $(DIST_DIR)
	$(DIST_DIR)/marltips-cli init --dir $(DIST_DIR)
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(DIST_DIR)/marltips; \
	else \
	  echo "marltips is installed in $(DIST_DIR)/, but its window needs a desktop session"; \
	  echo "(neither DISPLAY nor WAYLAND_DISPLAY is set here). Run $(DIST_DIR)/marltips from a desktop,"; \
	  echo "or use $(DIST_DIR)/marltips-cli for headless use, for example:"; \
	  echo "  $(DIST_DIR)/marltips-cli plans      list the plans"; \
	  echo "  $(DIST_DIR)/marltips-cli watch      monitor the checked plans"; \
	fi

# The Debian package marltips_VERSION_amd64.deb in $(BUILD_DIR)/ (cmake/package.cmake).
package: build
	cd $(BUILD_DIR) && cpack -G DEB

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) --timeout 600

# The quality gates, each in its own build folder: sanitizers (scripts/sanitize), the GUI-less
# libFuzzer build and its short runs (scripts/fuzz --ci), static analysis and formatting
# (scripts/lint). Every stage runs even when an earlier one failed, so one run shows every
# failure; a summary with each stage's wall time comes last.
check: deps
	@export JOBS=$(JOBS) WERROR=$(WERROR); failed=0; summary=""; \
	stage() { \
	  start=$$(date +%s); \
	  if [ ! -e "$$1" ]; then \
	    echo "check: $$1 does not exist in this checkout"; result=FAILED; failed=1; \
	  else \
	    echo "== check: $$*"; \
	    if "$$@"; then result=passed; else result=FAILED; failed=1; fi; \
	  fi; \
	  summary="$$summary$$(printf '\n  %-20s %-8s %5d s' "$$*" $$result $$(($$(date +%s) - start)))"; \
	}; \
	stage scripts/sanitize; \
	stage scripts/fuzz --ci; \
	stage scripts/lint; \
	printf 'check summary (wall time):%s\n' "$$summary"; \
	exit $$failed

bench: build
	python3 bench/run_all $(BUILD_DIR)

format:
	git ls-files '*.h' '*.cpp' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR)

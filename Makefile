# Two commands do all the set-up on a fresh Debian 12 machine:
#   make run   installs what is missing, builds, and starts Folderly
#   make test  installs what is missing, builds, and runs every test, also
#              under AddressSanitizer and UndefinedBehaviorSanitizer
JOBS ?= $(shell nproc)

.PHONY: run test build deps test-release test-sanitize bench install package format check-style fuzz

deps:
	@bash scripts/install-deps.sh

build: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
	@cmake --build build -j $(JOBS)

run: build
	@bash scripts/run.sh build/app/folderly

test-release: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	@cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DFOLDERLY_SANITIZE=ON >/dev/null
	@cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS) -E '^e2e\.'

test: test-release test-sanitize

# Rewrites every C++ file as .clang-format says.
format: deps
	git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format -i

# What CI checks besides the tests: the format, and clang-tidy's findings.
check-style: build
	@bash scripts/check-style.sh format
	@bash scripts/check-style.sh tidy build

# Every fuzz target for FUZZ_SECONDS seconds, in a clang build of its own.
FUZZ_SECONDS ?= 600
fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_SECONDS)

bench: build
	@bash scripts/install-deps.sh --bench
	@build/bench/folderly_list_bench 100000
	@build/bench/folderly_watch_bench 1000 100 60
	@bash bench/compare.sh build/bench/folderly_bench

install: build
	cmake --install build

# The Debian package for /usr, from a release build of its own.
package: deps
	@cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DFOLDERLY_TESTS=OFF -DFOLDERLY_WARNINGS_AS_ERRORS=OFF >/dev/null
	@cmake --build build-package -j $(JOBS)
	@cd build-package && cpack -G DEB

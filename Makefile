# The two everyday commands: `make test` and `make run`.
# Everything else (packages, configuring, building) happens on the way.

.PHONY: all deps release sanitize test test-release test-sanitize run bench fuzz fuzz-regression package clean

all: release

deps:
	@bash scripts/install-deps.sh

release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize

test-release: release
	ctest --preset release

test-sanitize: sanitize
	ctest --preset sanitize

test: test-release test-sanitize fuzz-regression

# Every kept fuzz input (seeds and past crashers) run once through its target.
fuzz-regression: deps
	@bash scripts/fuzz.sh --regression

# velmora_<version>_amd64.deb in build/release, from the release build.
package: release
	@cd build/release && cpack -G DEB

run: release
	@bash scripts/run.sh

bench: release
	@bash bench/run.sh

fuzz: deps
	@bash scripts/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build

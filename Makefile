# The two everyday commands: `make test` and `make run`.
# Everything else (packages, configuring, building) happens on the way.

.PHONY: all deps release sanitize windows-build windows test test-release test-sanitize test-windows run bench fuzz fuzz-regression package clean

all: release

deps:
	@bash scripts/install-deps.sh

release: deps
	@cmake --preset release >/dev/null
	@cmake --build --preset release

sanitize: deps
	@cmake --preset sanitize >/dev/null
	@cmake --build --preset sanitize

# The Windows programs, cross-built with MinGW-w64; `make windows` also packs them.
windows-build: deps
	@cmake --preset windows >/dev/null
	@cmake --build --preset windows

windows: windows-build
	@bash scripts/package-windows.sh

test-release: release
	ctest --preset release

test-sanitize: sanitize
	ctest --preset sanitize

# Under Wine, with a virtual screen for the window test; the Linux build is the reference the
# Windows programs' output is compared with. A test that fails there runs once more (the
# preset's "repeat"): now and then a Wine client loses its server as it starts ("recvmsg:
# Connection reset by peer"), which says nothing about the program; a real fault fails twice.
test-windows: windows-build release
	xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset windows

test: test-release test-sanitize fuzz-regression test-windows

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
	rm -rf build dist

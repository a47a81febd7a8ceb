# The README's commands. Each first installs what is missing.
.PHONY: all run test deps native win32 win64 sanitize dist screenshot clean

JOBS ?= $(shell nproc)

all: native win32 win64

deps:
	@scripts/install-deps.sh

# One rule for every preset: configure (quietly), then build.
native win32 win64 sanitize: deps
	cmake --preset $@ >/dev/null
	cmake --build --preset $@ -j $(JOBS)

# Both Windows programs are built on every host; their tests run on each that
# the host can execute (scripts/run-tests.sh says which ran and why).
test: native win32 win64 sanitize
	scripts/run-tests.sh native sanitize win32 win64

# The 32-bit program where the host runs 32-bit code, else the 64-bit one.
run: win32 win64
	scripts/run-window.sh

# The release files: build/dist/Vantorel-<version>-win32.zip and -win64.zip.
dist: win32 win64
	scripts/dist.sh win32 win64

# The README's picture: the window in Xvfb with a sample typed in, whether or
# not there is a display.
screenshot: docs/screenshot.png

docs/screenshot.png: win32 win64
	env -u DISPLAY VANTOREL_SCREENSHOT=$@ scripts/run-window.sh

clean:
	rm -rf build

# The README's commands. Each first installs what is missing.
.PHONY: all run test deps native win32 sanitize screenshot clean

JOBS ?= $(shell nproc)

all: native win32

deps:
	@scripts/install-deps.sh

native: deps
	cmake --preset native >/dev/null
	cmake --build --preset native -j $(JOBS)

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

sanitize: deps
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize -j $(JOBS)

test: native win32 sanitize
	scripts/run-tests.sh native sanitize win32

run: win32
	scripts/run-window.sh

# The README's picture: the window in Xvfb with a sample typed in, whether or
# not there is a display.
screenshot: docs/screenshot.png

docs/screenshot.png: win32
	env -u DISPLAY VANTOREL_SCREENSHOT=$@ scripts/run-window.sh

clean:
	rm -rf build

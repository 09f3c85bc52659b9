# Two commands for a newcomer: `make run` and `make test`.
BUILD ?= build
TYPE ?= RelWithDebInfo
ARGS ?=

.PHONY: setup build run test bench clean

setup:
	@scripts/setup.sh

build: setup
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(TYPE) >/dev/null
	@cmake --build $(BUILD)

run: build
	./$(BUILD)/vimbrel $(ARGS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j2

bench: build
	bench/run.sh $(BUILD)

clean:
	rm -rf $(BUILD)

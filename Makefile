# make run   - install what is needed, build, start Tarnwick against the local
#              service emulator (scripts/demo.sh)
# make test  - install what is needed, build, run every test
# make asan  - the test suite under AddressSanitizer + UndefinedBehaviorSanitizer
# make bench - build and run the benchmarks
# make package - the Debian package and the portable .tar.gz (in $(BUILD))

BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=

.PHONY: deps build run test asan bench package format clean

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_ARGS)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: deps
	scripts/run.sh $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_BENCH=OFF $(CMAKE_ARGS)

asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ctest --output-on-failure -j $(JOBS)

bench: build
	@scripts/run-benchmarks.sh $(BUILD)/bench

package: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) --target tarnwick tarnwick-brand -j $(JOBS)
	cd $(BUILD) && cpack -G "DEB;TGZ"

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

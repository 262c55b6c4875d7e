# The two commands of the README. BUILD and CMAKE_ARGS may be overridden.
BUILD ?= build
CMAKE_ARGS ?=

.PHONY: test asan-test load-test demo deps configure build format

deps:
	./scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD)

test: build
	cd $(BUILD) && ctest --output-on-failure -j2 -LE load

# The tests under AddressSanitizer and UndefinedBehaviorSanitizer, in a build of their own (no
# benchmarks there: they are not tests).
asan-test:
	$(MAKE) test BUILD=build-asan CMAKE_ARGS="-DKELVANE_SANITIZE=ON -DKELVANE_BENCH=OFF"

# The movie tests again and again under a load made by the run itself; long.
load-test: build
	cd $(BUILD) && ctest --output-on-failure -L load

# Makes the demo project (a movie, a picture, a text, effects, a multiply layer) and renders it.
demo: build
	./examples/demo.sh $(BUILD)

format:
	git ls-files --cached --others --exclude-standard | grep -E '\.(h|hpp|c|cpp|cc)$$' | grep -v '^tests/data/' | xargs -r clang-format -i

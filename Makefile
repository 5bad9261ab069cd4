# Thin wrapper over the CMake presets.
.PHONY: build run test sanitize bench fuzz clean

build:
	cmake --preset release >/dev/null
	cmake --build --preset release

run: build
	./build/release/xml2slist examples/record.xml

test: build
	ctest --preset release -j2

sanitize:
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize
	ctest --preset sanitize -j2

# Throughput and memory against other XML tools; writes docs/performance.md.
bench:
	bash bench/run_comparison.sh

# Coverage-guided fuzzing; FUZZ_SECONDS sets how long (default 120).
fuzz:
	bash tests/fuzz/run.sh

clean:
	rm -rf build

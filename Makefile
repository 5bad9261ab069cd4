# Thin wrapper over the CMake presets.
.PHONY: build program run test exhaustive sanitize bench fuzz clean

build:
	cmake --preset release >/dev/null
	cmake --build --preset release

# The program alone (build/program): a compiler, CMake and Ninja suffice.
program:
	cmake --preset program >/dev/null
	cmake --build --preset program

run: program
	./build/program/xml2slist examples/record.xml

# Every test but the exhaustive sweeps, which .ci/run runs after it.
test: build
	ctest --preset release -j2 -LE exhaustive

# Every golden input cut at every byte: minutes on two cores.
exhaustive: build
	ctest --preset release -j2 -L exhaustive

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

# Thin wrapper over the CMake presets.
.PHONY: build run test sanitize clean

build:
	cmake --preset release >/dev/null
	cmake --build --preset release

run: build
	./build/release/xml2slist examples/record.xml

test: build
	ctest --preset release

sanitize:
	cmake --preset sanitize >/dev/null
	cmake --build --preset sanitize
	ctest --preset sanitize

clean:
	rm -rf build

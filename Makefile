# Entry points for a new checkout: `make run` and `make test` install what is
# missing, build and run. Build trees live under build/.
BUILD      ?= build
SAN_BUILD  ?= build-sanitize
FUZZ_BUILD ?= build-fuzz
TSAN_BUILD ?= build-tsan
GENERATOR  := -G Ninja
FUZZ_SECONDS ?= 300

.PHONY: all deps configure build run test bench sanitize tsan fuzz screenshots install clean

all: build

deps:
	@bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

configure: $(BUILD)/build.ninja

build: deps configure
	cmake --build $(BUILD)

run: build
	@bash scripts/run.sh $(BUILD)

screenshots: build
	@bash scripts/screenshots.sh $(BUILD)

# Without the fixture set beside the clone, the tests that read it are left
# out, and one line says so.
SHARED_FIXTURES := $(wildcard ../shared/fixtures)
CTEST_SHARED := $(if $(SHARED_FIXTURES),,-LE shared-fixtures)

test: build
	@$(if $(SHARED_FIXTURES),,echo "note: ../shared/fixtures is not beside the clone; the tests labelled shared-fixtures are left out")
	cd $(BUILD) && ctest --output-on-failure --timeout 600 $(CTEST_SHARED)

bench: build
	@bash scripts/bench.sh $(BUILD)

sanitize: deps
	cmake -S . -B $(SAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DTARNWEX_SANITIZE=ON -DTARNWEX_BENCH=OFF
	cmake --build $(SAN_BUILD)
	cd $(SAN_BUILD) && ctest --output-on-failure --timeout 1200 $(CTEST_SHARED)

tsan: deps
	cmake -S . -B $(TSAN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWEX_TSAN=ON -DTARNWEX_BENCH=OFF
	cmake --build $(TSAN_BUILD)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure --timeout 1200 $(CTEST_SHARED)

fuzz: deps
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWEX_FUZZ=ON
	cmake --build $(FUZZ_BUILD)
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The programs, languages, manual, desktop entry, icon and MIME type below
# PREFIX (DESTDIR, when set, is put before it).
PREFIX ?= /usr/local

install: deps
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(BUILD) --target tarnwex tarnwex-cli
	cmake --install $(BUILD)

clean:
	rm -rf $(BUILD) $(SAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD)

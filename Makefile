# make demo: the plug-in at work through qxhost, on a sample log.
# make test: installs what is missing, builds every configuration and runs every test.
PRESETS := native sanitize fuzz linux32 win32 win64

.PHONY: test demo dist fuzz bench bootstrap clean $(addprefix test-,$(PRESETS)) $(addprefix build-,$(PRESETS))

test: $(addprefix test-,$(PRESETS))

bootstrap:
	scripts/bootstrap

define preset_rules
build-$(1): bootstrap
	cmake --preset $(1) >/dev/null
	cmake --build --preset $(1)

test-$(1): build-$(1)
	ctest --preset $(1)
endef
$(foreach p,$(PRESETS),$(eval $(call preset_rules,$(p))))
# The release zip's check, in win64, packs the 32-bit build too.
test-win64: build-win32

# The plug-in at work on a sample log that grows while qxhost watches it.
demo:
	scripts/demo

# build/dist/QuintavoExtract.zip: the 32-bit and 64-bit DLL and qxhost.exe, README,
# LICENSE, CHANGELOG and SHA256SUMS.
dist: build-win32 build-win64
	mkdir -p build/dist
	scripts/dist-pack . build/win32/bin build/win64/bin build/dist/QuintavoExtract.zip
	@echo "build/dist/QuintavoExtract.zip"

# Native passes beside the stdio reading, then the DLL's due call under Wine.
bench: bootstrap
	cmake --preset bench >/dev/null
	cmake --build --preset bench >/dev/null
	build/bench/bench_passes
	scripts/bench-dll

# The fuzz targets for five minutes each (make test runs them for seconds).
fuzz: build-fuzz
	for t in reader sources source_number; do \
	    build/fuzz/fuzz/fuzz_$$t -max_total_time=300 build/fuzz/fuzz/found_$$t fuzz/corpus/$$t || exit 1; \
	done

clean:
	rm -rf build

# make test: installs what is missing, builds every configuration and runs every test.
PRESETS := native linux32 win32 win64

.PHONY: test bootstrap clean $(addprefix test-,$(PRESETS)) $(addprefix build-,$(PRESETS))

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

clean:
	rm -rf build

// What the plug-in says about itself: getinfo's texts and the module's version
// resource both take them from here, so the two cannot tell different stories.
// Plain macros, since the resource compiler reads this file too.
#pragma once

#define QX_PLUGIN_NAME "Quintavo Extractor Plugin"
#define QX_AUTHOR "The QuintavoExtract maintainers"
#define QX_VERSION_TEXT "0.2 Beta"
#define QX_FIRST_DATE "13/07/04"
#define QX_LATER_DATE "28/07/04"
// The project has no domain of its own yet: these use one reserved for documentation.
#define QX_WEB_ADDRESS "https://quintavoextract.example.org/"
#define QX_CONTACT "maintainers@quintavoextract.example.org"

// Only in the version resource.
#define QX_VERSION_NUMBERS 0, 2, 0, 0  // major, minor, patch, build
#define QX_PRODUCT_NAME "QuintavoExtract"
#define QX_MODULE_FILE "QuintavoExtract.dll"
#define QX_COPYRIGHT "Copyright (C) The QuintavoExtract maintainers"

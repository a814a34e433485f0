// InitFontConfig: FcInit's work without its complaints where the system has no configuration.
#include "d3dx9/font_config.h"

#include "win32/start_up_tasks.h"

#include <fontconfig/fontconfig.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace d3dx9 {

namespace {

// Debian's font folders under /usr. Fontconfig prints an error when no cache folder can be
// written: without a writable home (a sandbox), the cache goes to a folder of our own under the
// temporary folder, removed once the fonts are read.
bool LoadBuiltInConfig(FcConfig* config, std::string* temporaryCache) {
    const char* tmp = std::getenv("TMPDIR");
    std::string cacheTemplate = std::string(tmp && *tmp ? tmp : "/tmp") + "/xofview-fonts-XXXXXX";
    std::string cacheElement;
    if (mkdtemp(cacheTemplate.data())) {
        *temporaryCache = cacheTemplate;
        cacheElement = "<cachedir>" + cacheTemplate + "</cachedir>";
    }
    const std::string text = "<?xml version=\"1.0\"?><fontconfig>"
                             "<dir>/usr/share/fonts</dir><dir>/usr/local/share/fonts</dir>"
                             "<cachedir prefix=\"xdg\">fontconfig</cachedir>" +
                             cacheElement + "</fontconfig>";
    return FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(text.c_str()),
                                          FcFalse) == FcTrue;
}

bool LoadConfig() {
    FcConfig* config = FcConfigCreate();
    if (!config) return false;
    std::string temporaryCache;
    // The default file: FONTCONFIG_FILE, or fonts.conf in /etc/fonts. Asked of this
    // configuration, since asking of none would load (and complain) as FcInit does.
    FcChar8* file = FcConfigGetFilename(config, nullptr);
    const bool loaded = file ? FcConfigParseAndLoad(config, file, FcTrue) == FcTrue
                             : LoadBuiltInConfig(config, &temporaryCache);
    if (file) FcStrFree(file);
    const bool ready =
        loaded && FcConfigBuildFonts(config) == FcTrue && FcConfigSetCurrent(config) == FcTrue;
    if (!temporaryCache.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(temporaryCache, ignored);
    }
    // Made current, the configuration lives as long as the process, as FcInit's does.
    if (!ready) FcConfigDestroy(config);
    return ready;
}

} // namespace

bool InitFontConfig() {
    static const bool ready = LoadConfig();
    return ready;
}

namespace {
// Reading the system's configuration (some 15 M instructions of XML) overlaps the first
// window's creation; a font made before it is done waits for it here, in InitFontConfig.
[[maybe_unused]] const bool kLoadedAtStartUp =
    (win32::AddStartUpTask([] { InitFontConfig(); }), true);
} // namespace

} // namespace d3dx9

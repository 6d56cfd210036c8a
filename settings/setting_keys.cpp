#include "setting_keys.h"

#include <cctype>

#include "encodings.h"

namespace tessory {

const std::vector<SettingKey>& SettingCatalogue() {
    using namespace key;
    static const std::vector<SettingKey> catalogue = {
        kFileInclude, kFileExclude, kFolInclude, kFolExclude, kFileTime, kFileTimeFrom,
        kFileTimeTo, kFileSize, kFileSizeFrom, kFileSizeTo,
        kNoOrder, kNameOrder, kExtOrder, kSizeOrder, kTypeOrder, kDateOrder, kRecurse,
        kRecurseDepth, kBrowser, kSummary,
        kName, kExt, kType, kSize, kDateTime, kAttrib, kNameStr, kExtStr, kTypeStr, kSizeStr,
        kDateStr, kAttribStr, kNameWidth, kExtWidth, kTypeWidth, kSizeWidth, kDateWidth,
        kAttribWidth, kDisplayFileSize,
        kBodyBack, kFolBack, kFolFontColor, kFolFont, kFolFontSize, kFileBack, kFileBackOdd,
        kFileFontColor, kFileFont, kFileFontSize, kPrintLayout,
    };
    return catalogue;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

const SettingKey* FindSettingKey(std::string_view section, std::string_view name) {
    for (const SettingKey& k : SettingCatalogue()) {
        if (SameName(k.section, section) && SameName(k.name, name)) return &k;
    }
    return nullptr;
}

std::string DefaultText(const SettingKey& key) {
    return key.defaultText ? std::string(key.defaultText) : GeneralDateTimeText(LocalNow());
}

}  // namespace tessory

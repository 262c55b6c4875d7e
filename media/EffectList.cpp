#include "media/EffectList.h"

#include "media/SourcePath.h"
#include "platform/Path.h"

namespace kelvane {

namespace {

char16_t FoldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z')
        return char16_t(c - u'A' + u'a');
    if (c >= u'Ａ' && c <= u'Ｚ')
        return char16_t(c - u'Ａ' + u'ａ');  // full-width Latin
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return char16_t(c + 0x20);
    return c;
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view prefix) {
    if (prefix.size() > text.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (FoldCase(text[i]) != FoldCase(prefix[i]))
            return false;
    }
    return true;
}

}  // namespace

std::u16string_view EffectListMessage(EffectListStatus status) {
    switch (status) {
        case EffectListStatus::Ok:
            return {};
        case EffectListStatus::LoadFailed:
            return u"効果の読み込みに失敗しました。";
        case EffectListStatus::AllocationFailed:
            return u"メモリの割り当てに失敗しました。";
    }
    return {};
}

EffectListStatus OpenEffectList(std::u16string_view pathField, std::u16string_view basePath,
                                std::u16string_view projectFolder, EffectList& list) {
    list = EffectList{};
    pathField = pathField.substr(0, std::min(pathField.size(), kPathUnits - 1));
    EffectPath parts = SplitEffectPath(pathField);
    list.modulePath = parts.module;
    list.currentName = parts.name.value_or(std::u16string());

    bool loaded = false;
    for (const std::u16string& candidate :
         SourcePathCandidates(list.modulePath, basePath, projectFolder)) {
        if (list.module.LoadModule(candidate)) {
            loaded = true;
            break;
        }
    }
    if (!loaded)
        return EffectListStatus::LoadFailed;
    if (!list.module.Enumerate(list.records)) {
        list.module.Release();
        return EffectListStatus::AllocationFailed;
    }
    return EffectListStatus::Ok;
}

int32_t InitialEffectSelection(const std::vector<EffectInfo>& records,
                               std::u16string_view currentName) {
    if (records.empty())
        return -1;
    for (size_t i = 0; i < records.size(); ++i) {
        if (StartsWithIgnoringCase(EffectText(records[i].name), currentName))
            return int32_t(i);
    }
    return 0;
}

std::u16string EffectDescription(const EffectInfo& record) {
    std::u16string text(EffectText(record.name));
    text += u"\r\n";
    text += EffectText(record.text);
    text += u"\r\n";
    text += EffectText(record.description);
    return text;
}

std::u16string EffectPathWithName(std::u16string_view modulePath, std::u16string_view name) {
    std::u16string path(modulePath);
    path += u'>';
    path += name;
    return path;
}

}  // namespace kelvane

#include "app/PreferencePages.h"

#include "base/Settings.h"

namespace qv {
namespace {

PreferenceControl check(const char* key, const char* label) {
    return {QString::fromLatin1(key), label, PreferenceKind::Check, {}};
}
PreferenceControl number(const char* key, const char* label, int minimum, int maximum) {
    return {QString::fromLatin1(key), label, PreferenceKind::Number, {}, minimum, maximum};
}
PreferenceControl of(PreferenceKind kind, const char* key, const char* label) {
    return {QString::fromLatin1(key), label, kind, {}};
}
PreferenceControl choice(const char* key, const char* label, std::vector<PreferenceChoice> choices) {
    return {QString::fromLatin1(key), label, PreferenceKind::Choice, std::move(choices)};
}

std::vector<PreferencePage> buildPages() {
    return {
        {"prefPageCompare",
         {check("optCmpContents", "optContents"), check("optIgnoreDates", "optIgnoreDates"),
          check("optIgnore2secDates", "optIgnore2sec"), check("optIgnoreSize", "prefIgnoreSize"),
          of(PreferenceKind::Text, "optIgnoreSizeValue", "prefIgnoreSizeValue"), check("optIgnoreExt", "prefIgnoreExt"),
          check("opCmpSubfolders", "optSubfolders"), check("opCmpHidden", "optHidden"),
          check("opIncludeAliases", "optIncludeLinks"), check("opResolveAliases", "optFollowLinks"),
          check("opCmpRsrc", "optAttributes"), check("opCmpTags", "optTags"), check("cmpEverything", "prefCmpEverything"),
          check("calculateSameCompare", "prefCountAsCompared"), check("optFoldersTop", "prefFoldersTop")}},
        {"prefPageSync",
         {check("mirrorDelDest", "prefMirrorDelete"), check("mirrorOnlyOrphan", "prefOnlyOrphans"),
          check("overwrittenToTrash2", "prefArchive"), check("mergeDelPermanent", "prefDeleteForGood"),
          check("dontOverwiteIdentical", "prefSkipIdentical"), check("dontShowOWWarning", "prefNoArchiveWarning")}},
        {"prefPageWindow",
         {check("sizeInBytes", "prefSizeInBytes"), check("showTime", "prefShowTime"),
          check("showRelative", "prefShowRelative"),
          choice("showColorTags2", "prefColorLabels", {{0, "prefColorLabelsOff"}, {1, "prefColorLabelsOn"}}),
          check("savePaths", "prefSavePaths"),
          choice("openCompareIn2", "prefOpenPairIn",
                 {{0, "prefOpenWindow"}, {1, "prefOpenTab"}, {2, "prefOpenTabOfOpened"}}),
          number("fHistoryLimit", "prefHistoryLimit", 1, 100), number("maxLenPath", "prefMaxLenPath", 10, 200)}},
        {"prefPageFiles",
         {choice("fileType", "prefFileType",
                 {{0, "fcTypeAuto"}, {1, "fcTypeText"}, {2, "fcTypeHex"}, {3, "fcTypeQuick"}}),
          check("fcInvertColors", "prefMarkBackground"), check("fcHighBcg", "prefRowBackground"),
          of(PreferenceKind::Color, "fcAddTxtColor", "prefAddColor"),
          of(PreferenceKind::Color, "fcChgTxtColor", "prefChgColor"), of(PreferenceKind::Font, "fcFont", "prefFont"),
          check("seaIgnoreCase", "prefSearchIgnoreCase"), check("seaFullWord", "prefSearchWholeWord")}},
        {"prefPageExport",
         {of(PreferenceKind::Character, "exportDelimiter", "prefDelimiter"), check("tabDelimiter", "prefTabDelimiter"),
          of(PreferenceKind::Character, "thousandsDelimiter", "prefThousands"),
          check("noneThousandsDelimiter", "prefNoGrouping"), check("expSizeInBytes", "prefExpSizeInBytes"),
          check("exportPrefix", "prefExportPrefix"), of(PreferenceKind::Character, "exportPrefixChar", "prefExportPrefixChar"),
          number("exportIndent", "prefExportIndent", 0, 24), check("exportQuotes", "prefExportQuotes"),
          check("exportAll", "prefExportAll")}},
    };
}

}  // namespace

const std::vector<PreferencePage>& PreferencePages::pages() {
    static const std::vector<PreferencePage> table = buildPages();
    return table;
}

const PreferenceControl* PreferencePages::control(const QString& key) {
    for (const PreferencePage& page : pages())
        for (const PreferenceControl& c : page.controls)
            if (c.key == key) return &c;
    return nullptr;
}

void PreferencePages::ResetPage(Settings& settings, const PreferencePage& page) {
    for (const PreferenceControl& c : page.controls) settings.remove(c.key);
}

}  // namespace qv

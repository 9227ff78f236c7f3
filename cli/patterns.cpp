// Typed names and patterns on the command line: the files they stand for.
#include "cli.h"
#include "screen_text.h"

bool cli_IsPattern(const cpm_Volume &volume, const std::string &typed) {
    return cpm_StoredName(volume, Text(typed)).empty() && cpm_IsPattern(Text(typed));
}

std::vector<cpm_FileMatch> cli_Matches(const std::string &image, const cpm_Volume &volume, const std::string &typed) {
    std::vector<cpm_FileMatch> matches = cpm_MatchFiles(volume, Text(typed));
    if (!matches.empty()) return matches;
    if (typed.empty()) cli_Fail(image, "empty name");
    else if (cli_IsPattern(volume, typed)) cli_Fail(image, "no file matches " + typed);
    else cli_Fail(image, cpm_DisplayString(cpm_MakeName(cpm_TypedFileName(volume, Text(typed)))) + " not found.");
    return matches;
}

std::string cli_MatchHeading(const Text &name) { return "==> " + cpm_DisplayString(name) + " <=="; }

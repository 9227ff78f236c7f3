// CP/M name arguments on the command line: the user prefix ("N:", "*:"),
// and the files a typed name or pattern stands for in each user area.
#include "patterns.h"
#include "cli.h"
#include "directory.h"
#include "listing.h"
#include "read.h"
#include "user_areas.h"

int cli_ParseUser(const std::string &value) {
    if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos) return -1;
    int user = std::stoi(value);
    return user < cpm_UserAreas ? user : -1;
}

int cli_UserOption(const std::string &value) {
    int user = cli_ParseUser(value);
    if (user < 0) cli_Err("diskwright-cli: --user: " + value + " is not a user area (0-15)");
    return user;
}

cli_Name cli_ParseName(const std::string &argument) {
    cli_Name name;
    size_t colon = argument.find(':');
    std::string prefix = colon == std::string::npos ? "" : argument.substr(0, colon);
    bool numeric = !prefix.empty() && prefix.find_first_not_of("0123456789") == std::string::npos;
    if (colon == std::string::npos || (!numeric && prefix != "*" && !prefix.empty())) {
        name.Valid = true;
        name.Name = argument;
        return name;
    }
    name.Prefixed = true;
    name.Name = argument.substr(colon + 1);
    name.User = prefix == "*" ? cli_EveryUser : cli_ParseUser(prefix);
    name.Valid = !name.Name.empty() && (name.User >= 0 || prefix == "*");
    return name;
}

void cli_BadName(const std::string &argument) {
    cli_Err("diskwright-cli: " + argument + ": not a file name (NAME or N:NAME, N from 0 to 15, or *:NAME)");
}

// The user areas a name argument looks in.
static std::vector<int> usersOf(const cpm_Volume &volume, const cli_Name &name) {
    return name.User == cli_EveryUser ? cpm_UsersWithFiles(volume) : std::vector<int>{name.User};
}

bool cli_RefuseNonCpmName(const std::string &image, const cpm_Volume &volume, const cli_Name &name) {
    Text typed(name.Name);
    if (typed.empty() || typed[0] == '#' || cpm_IsPattern(typed) || cpm_IsCpmName(typed)) return false;
    int user = name.User == cli_EveryUser ? cpm_ListedUser : name.User;
    if (name.User != cli_EveryUser && !cpm_StoredName(volume, typed, user).empty()) return false;
    cli_Fail(image, name.Name + ": not a CP/M file name");
    return true;
}

bool cli_IsPattern(const cpm_Volume &volume, const cli_Name &name) {
    if (name.User == cli_EveryUser) return true;
    return cpm_StoredName(volume, Text(name.Name), name.User).empty() && cpm_IsPattern(Text(name.Name));
}

std::vector<cli_Match> cli_Matches(const std::string &image, const cpm_Volume &volume, const cli_Name &name) {
    std::vector<cli_Match> matches;
    if (cli_RefuseNonCpmName(image, volume, name)) return matches;
    for (int user : usersOf(volume, name))
        for (cpm_FileMatch &m : cpm_MatchFiles(volume, Text(name.Name), user)) matches.push_back({user, std::move(m)});
    if (!matches.empty()) return matches;
    std::string typed = (name.Prefixed ? (name.User == cli_EveryUser ? "*:" : std::to_string(name.User) + ":") : "") + name.Name;
    if (name.Name.empty()) cli_Fail(image, "empty name");
    else if (cli_IsPattern(volume, name)) cli_Fail(image, "no file matches " + typed);
    else cli_Fail(image, cpm_DisplayString(cpm_MakeName(cpm_TypedFileName(volume, Text(name.Name), name.User))) + " not found.");
    return matches;
}

std::string cli_ShownName(int user, const Text &name) {
    return (user == 0 ? "" : std::to_string(user) + ":") + cpm_DisplayString(name);
}

std::string cli_MatchHeading(const cli_Match &match) { return "==> " + cli_ShownName(match.User, match.File.Name) + " <=="; }

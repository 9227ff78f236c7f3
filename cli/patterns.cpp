// CP/M name arguments: the user prefix and the "*" forms.
#include "patterns.h"

#include "volume.h"

int cli_ParseUser(const std::string &value) {
    if (value.empty() || value.size() > 2 || value.find_first_not_of("0123456789") != std::string::npos) return -1;
    int user = std::stoi(value);
    return user < cpm_UserAreas ? user : -1;
}

cli_Name cli_ParseName(const std::string &argument) {
    cli_Name name;
    if (argument == "*") {
        name.Kind = cli_NameKind::AllOfUserZero;
        return name;
    }
    size_t colon = argument.find(':');
    std::string prefix = colon == std::string::npos ? "" : argument.substr(0, colon);
    bool numeric = !prefix.empty() && prefix.find_first_not_of("0123456789") == std::string::npos;
    if (colon == std::string::npos || (!numeric && prefix != "*" && !prefix.empty())) {
        name.Kind = cli_NameKind::File;
        name.Name = argument;
        return name;
    }
    std::string rest = argument.substr(colon + 1);
    if (prefix == "*") {
        if (rest == "*") name.Kind = cli_NameKind::AllUsers;
        return name;
    }
    name.User = cli_ParseUser(prefix);
    if (name.User < 0 || rest.empty()) return name;
    name.Name = rest;
    name.Kind = rest == "*" ? cli_NameKind::AllOfUser : cli_NameKind::File;
    return name;
}

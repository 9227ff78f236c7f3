// Four-character type codes: the extension table and the type filter.
#pragma once

#include <span>
#include <string>
#include <string_view>

// One row of the extension table: a type code and the lower-case extensions
// that give it.
struct f_TypeRow {
    const char *Type;
    std::span<const char *const> Extensions;
};

// The whole extension table, in order.
std::span<const f_TypeRow> f_TypeTable();

// The type code of a name extension (any case), "????" when it is unknown.
std::string f_TypeForExtension(std::string_view extension);

// True when the filter is empty or one of its comma-separated codes occurs
// within the type; both sides compared lower-cased.
bool f_TypeMatches(std::string_view type, std::string_view filter);

// The lower-case form of a host string, character by character.
std::string f_LowerCase(std::string_view s);

// Wildcard patterns over CP/M names and the files they match.
#include "patterns.h"

#include <algorithm>

#include "directory.h"
#include "entries.h"
#include "read.h"

bool cpm_IsPattern(const Text &typed) {
    return std::any_of(typed.Elements.begin(), typed.Elements.end(), [](uint8_t b) { return b == '*' || b == '?'; });
}

// One part of a pattern: capitals, bit 7 cleared, the characters names cannot
// hold dropped as cpm_FilterName drops them, "*" filling the rest with "?".
static Text patternPart(const std::vector<uint8_t> &part, size_t width) {
    Text out;
    for (uint8_t b : part) {
        if (b == '*') {
            out.Elements.resize(width, '?');
            break;
        }
        if (b == '?') out.push_back(b);
        else out = out + cpm_FilterName(Text(std::vector<uint8_t>{b}));
        if (out.size() >= width) break;
    }
    out.Elements.resize(width, ' ');
    return out;
}

Text cpm_MakePattern(const Text &typed) {
    if (typed.empty()) return Text();
    auto dot = std::find(typed.Elements.begin(), typed.Elements.end(), uint8_t('.'));
    std::vector<uint8_t> base(typed.Elements.begin(), dot);
    Text type = dot == typed.Elements.end() ? Text("???")
                                            : patternPart(std::vector<uint8_t>(dot + 1, typed.Elements.end()), 3);
    return patternPart(base, 8) + Text(".") + type;
}

bool cpm_NameMatches(const Text &pattern, const Text &name) {
    if (pattern.size() != 12 || name.size() != 12) return false;
    for (size_t k = 0; k < 12; k++)
        if (pattern[k] != '?' && pattern[k] != name[k]) return false;
    return true;
}

// The entries of the listed file whose main entry is i.
static cpm_FileMatch listedFile(const std::vector<Text> &names, const std::vector<int> &sizes, int i) {
    cpm_FileMatch m{names[size_t(i)], {i}};
    for (size_t j = size_t(i) + 1; j < names.size() && j < sizes.size(); j++)
        if (sizes[j] < 0 && sizes[j] != cpm_UnusedSize && names[j] == m.Name) m.Entries.push_back(int(j));
    return m;
}

std::vector<cpm_FileMatch> cpm_MatchFiles(const cpm_Volume &volume, const Text &typed, int user) {
    std::vector<cpm_FileMatch> out;
    if (typed.empty()) return out;
    user = cpm_UserOf(volume, user);
    // The volume's own lists, or those of the other user area.
    cpm_DirectoryLists other;
    if (user != volume.User) other = cpm_LoadDirectory(volume, user);
    const std::vector<Text> &names = user == volume.User ? volume.Names : other.Names;
    const std::vector<int> &sizes = user == volume.User ? volume.Sizes : other.Sizes;
    Text stored = cpm_StoredName(volume, typed, user);
    bool pattern = stored.empty() && cpm_IsPattern(typed);
    Text wanted = !stored.empty() ? stored : pattern ? cpm_MakePattern(typed) : cpm_MakeName(typed);
    for (size_t i = 0; i < names.size() && i < sizes.size(); i++) {
        if (sizes[i] < 0) continue;
        const Text &name = names[i];
        if (pattern ? cpm_NameMatches(wanted, name) : name == wanted) out.push_back(listedFile(names, sizes, int(i)));
    }
    return out;
}

std::vector<cpm_FileMatch> cpm_MatchErasedFiles(const cpm_Volume &volume, const Text &typed) {
    std::vector<cpm_FileMatch> out;
    if (typed.empty()) return out;
    bool pattern = cpm_IsPattern(typed);
    Text wanted = pattern ? cpm_MakePattern(typed) : cpm_MakeName(typed);
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        // An erased entry keeps its name unless sorting wiped it (0xE5 throughout).
        if (e[0] != cpm_ErasedUser || e[1] == cpm_ErasedUser || (e[1] & 0x7F) < 0x20) continue;
        Text name = cpm_RawName(e, false);
        bool hit = pattern ? cpm_NameMatches(wanted, name) : (name == wanted || name == typed);
        if (!hit) continue;
        auto same = std::find_if(out.begin(), out.end(), [&](const cpm_FileMatch &m) { return m.Name == name; });
        if (same == out.end()) out.push_back({name, {i}});
        else same->Entries.push_back(i);
    }
    return out;
}

std::vector<int> cpm_EntryBlocks(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return {};
    cpm_Blocks blocks = cpm_RawBlocks(cpm_EntryBytes(volume, entry), cpm_WideBlocks(volume));
    return std::vector<int>(blocks.begin(), blocks.end());
}

int cpm_EntryRecords(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return 0;
    return cpm_EntryBytes(volume, entry)[15];
}

int cpm_EntryExtent(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return 0;
    return cpm_RawExtent(cpm_EntryBytes(volume, entry));
}

uint8_t cpm_EntryUser(const cpm_Volume &volume, int entry) {
    if (entry < 0 || entry >= cpm_PresentEntries(volume)) return cpm_ErasedUser;
    return cpm_EntryBytes(volume, entry)[0];
}

// Wildcards matched CP/M's way, the files a name or pattern stands for,
// attribute bits, and text line ends between CP/M and the host.
#include "attributes.h"
#include "directory.h"
#include "fixtures.h"
#include "maintenance.h"
#include "patterns.h"
#include "read.h"

namespace {

std::vector<std::string> matchedNames(const std::vector<cpm_FileMatch> &matches) {
    std::vector<std::string> out;
    for (const cpm_FileMatch &m : matches) out.push_back(m.Name.bytes());
    return out;
}

}  // namespace

TEST(Patterns, MatchCpmNamesAsCpmDoesAndFindTheirFiles) {
    struct { const char *Pattern, *Name; bool Matches; } cases[] = {
        {"*.COM", "PIP     .COM", true},    {"*.COM", "PIP     .CMD", false},  {"PIP.*", "PIP     .COM", true},
        {"PIP.*", "PIPE    .COM", false},   {"???.TXT", "ABC     .TXT", true}, {"???.TXT", "ABCD    .TXT", false},
        {"???.TXT", "AB      .TXT", true},  {"*", "README  .   ", true},    {"*", "PIP     .COM", true},
        {"*.*", "PIP     .COM", true},      {"*.*", "README  .   ", true},  {"A*", "ABC     .TXT", true},
        {"A*", "BAC     .TXT", false},      {"a*.c?m", "ABC     .COM", true}, {"A*B.COM", "AXXXXXXX.COM", true},
        {"?.?", "A       .B  ", true},      {"?.?", "A       .BC ", false}, {"*.", "README  .   ", true},
        {"*.", "README  .TXT", false},      {"PIP", "PIP     .COM", true},  {"PIP", "PIPX    .COM", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(cpm_NameMatches(cpm_MakePattern(Text(c.Pattern)), Text(c.Name)), c.Matches) << c.Pattern << " " << c.Name;
    EXPECT_EQ(cpm_MakePattern(Text("*.c*")), Text("????????.C??"));
    EXPECT_TRUE(cpm_IsPattern(Text("A?.COM")));
    EXPECT_FALSE(cpm_IsPattern(Text("A.COM")));
    // The files a name or pattern stands for.
    cpm_Volume v = withFiles(freshPlain(256), {{"PIP.COM", 100}, {"BIG.DAT", 40000}, {"README", 10}, {"STAT.COM", 10}});
    EXPECT_EQ(matchedNames(cpm_MatchFiles(v, Text("*.COM"))), (std::vector<std::string>{"PIP     .COM", "STAT    .COM"}));
    EXPECT_EQ(matchedNames(cpm_MatchFiles(v, Text("*"))).size(), 4u);
    EXPECT_EQ(matchedNames(cpm_MatchFiles(v, Text("*.*"))).size(), 4u);
    EXPECT_EQ(matchedNames(cpm_MatchFiles(v, Text("pip.com"))), (std::vector<std::string>{"PIP     .COM"}));
    EXPECT_TRUE(cpm_MatchFiles(v, Text("*.XYZ")).empty());
    std::vector<cpm_FileMatch> big = cpm_MatchFiles(v, Text("B?G.*"));
    ASSERT_EQ(big.size(), 1u);
    EXPECT_EQ(big[0].Entries, (std::vector<int>{1, 2}));   // 40000 bytes take two entries

    // A stored name holding "*" or "?" is that file, not a pattern.
    putEntry(v, 10, 0, "A*      TXT", 0, 0, 1, {100});
    putEntry(v, 11, 0, "AB      TXT", 0, 0, 1, {101});
    v = cpm_Rebuild(std::move(v));
    EXPECT_EQ(matchedNames(cpm_MatchFiles(v, Text("A*.TXT"))), (std::vector<std::string>{"A*      .TXT"}));
    EXPECT_EQ(matchedNames(cpm_MatchFiles(v, Text("A?.TXT"))), (std::vector<std::string>{"A*      .TXT", "AB      .TXT"}));

    // Erased files: found by pattern for unerasing, with every entry.
    v = cpm_SetFileUser(std::move(v), Text("BIG.DAT"), cpm_ErasedUser).Volume;
    EXPECT_TRUE(cpm_MatchFiles(v, Text("BIG.*")).empty());
    std::vector<cpm_FileMatch> erased = cpm_MatchErasedFiles(v, Text("*.DAT"));
    ASSERT_EQ(erased.size(), 1u);
    EXPECT_EQ(erased[0].Entries, (std::vector<int>{1, 2}));
}

TEST(Attributes, SetAndClearOnEveryEntry) {
    cpm_Volume v = withFiles(freshPlain(256), {{"BIG.DAT", 40000}});
    std::vector<int> entries = cpm_MatchFiles(v, Text("BIG.DAT"))[0].Entries;
    v = cpm_SetAttributes(std::move(v), entries, cpm_ReadOnlyBit | cpm_ArchivedBit, 0).Volume;
    EXPECT_EQ(v.Attributes[0], Text("RA"));
    for (int e : entries) EXPECT_EQ(entryAt(v, e)[9] & 0x80, 0x80) << e;
    EXPECT_EQ(entryAt(v, 1)[11] & 0x80, 0x80);
    EXPECT_EQ(v.Names[0], Text("BIG     .DAT"));   // still found by its plain name
    v = cpm_SetAttributes(std::move(v), entries, cpm_SystemBit, cpm_ReadOnlyBit).Volume;
    EXPECT_EQ(v.Attributes[0], Text("SA"));
    EXPECT_EQ(cpm_LoadFile(v, Text("BIG.DAT")).Data.size(), 40960u);
    EXPECT_NE(cpm_SetAttributes(std::move(v), {999}, cpm_SystemBit, 0).Message, "");
}

TEST(TextFiles, LineEndsBothWays) {
    struct {
        const char *Host, *Cpm;
    } toCpm[] = {{"a\nb", "a\r\nb"}, {"a\r\nb", "a\r\nb"}, {"a\rb", "a\r\nb"}, {"\n\n", "\r\n\r\n"}, {"a\r", "a\r\n"}};
    for (const auto &c : toCpm) EXPECT_EQ(cpm_CpmText(Text(c.Host)), Text(c.Cpm)) << c.Host;

    // A file with LF, CR LF, a lone CR and a Control-Z inside, padded as the
    // engine pads it: back on the host up to the Control-Z, whatever the pieces.
    Text stored = cpm_CpmText(Text("one\ntwo\r\nthree\rfour\x1A" "five")) + Text(std::string(40, '\x1A'));
    EXPECT_EQ(stored.bytes().substr(0, 21), "one\r\ntwo\r\nthree\r\nfour");
    for (size_t piece : {size_t(1), size_t(4), size_t(5), size_t(1000)}) {
        cpm_TextReading reading;
        std::string host;
        for (size_t at = 0; at < stored.size(); at += piece) {
            size_t n = std::min(piece, stored.size() - at);
            host += cpm_HostText(reading, stored.data() + at, n, at + n == stored.size()).bytes();
        }
        EXPECT_EQ(host, "one\ntwo\nthree\nfour") << piece;
    }
    cpm_TextReading reading;
    EXPECT_EQ(cpm_HostText(reading, reinterpret_cast<const uint8_t *>("a\r"), 2, true), Text("a\r"));
}

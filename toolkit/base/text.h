// Text: the byte string of disk data, file names and screen memory, and the
// BASIC-style string functions shared by every subsystem.
//
// Two kinds of strings meet here:
//   - host strings (std::string holding UTF-8), counted in Unicode characters;
//   - Text, a plain byte string compared and hashed byte by byte.
// Positions are counted from 1; arguments out of range give the empty string
// or 0, never an error.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct Text {
    std::vector<uint8_t> Elements;

    Text() = default;
    Text(std::vector<uint8_t> bytes) : Elements(std::move(bytes)) {}
    // The bytes of a string literal or host string, unchanged.
    Text(std::string_view bytes) : Elements(bytes.begin(), bytes.end()) {}
    Text(const char *bytes) : Text(std::string_view(bytes)) {}

    size_t size() const { return Elements.size(); }
    bool empty() const { return Elements.empty(); }
    uint8_t operator[](size_t i) const { return Elements[i]; }
    uint8_t &operator[](size_t i) { return Elements[i]; }
    const uint8_t *data() const { return Elements.data(); }
    uint8_t *data() { return Elements.data(); }
    void push_back(uint8_t b) { Elements.push_back(b); }
    // The bytes as a std::string (no conversion).
    std::string bytes() const { return std::string(Elements.begin(), Elements.end()); }

    friend bool operator==(const Text &, const Text &) = default;
};

int t_TextCompare(const Text &a, const Text &b);
inline bool operator<(const Text &a, const Text &b) { return t_TextCompare(a, b) < 0; }
Text operator+(Text a, const Text &b);

// Length first, then every byte in order.
size_t t_TextHash(const Text &t);
template <> struct std::hash<Text> {
    size_t operator()(const Text &t) const { return t_TextHash(t); }
};

// --- Unicode scalars and UTF-8 -------------------------------------------
// Bytes that are not valid UTF-8 are read as the Latin-1 character of the
// same value, so no input is ever lost or rejected.
std::u32string t_Decode(std::string_view utf8);
std::string t_Encode(std::u32string_view chars);
std::string t_EncodeChar(char32_t c);
// Number of Unicode characters of a host string.
int t_Length(std::string_view s);

// --- host string functions (1-based positions) -----------------------------
int t_Asc(std::string_view s);
int t_LowerCode(int code);
std::string t_CharAt(std::string_view s, int n);
std::string t_Left(std::string_view s, int n);
std::string t_Right(std::string_view s, int n);
std::string t_MidFrom(std::string_view s, int n);
std::string t_Mid(std::string_view s, int p, int n);
int t_Position(std::string_view s, std::string_view pattern, int start);
std::string t_Spaces(int n);
std::string t_Repeat(std::string_view s, int n);
std::string t_Center(std::string_view s, int width);
std::string t_Justify(std::string_view left, std::string_view right, int width);
std::string t_NumberString(long long value, char32_t pad, int width, bool grouping);
std::string t_DecimalString(double value);
std::string t_Hex2(long long value);
Text t_Hex2Text(long long value);
Text t_Hex4Text(long long value);
// Eight upper-case hex digits of the low 32 bits (offsets and addresses).
std::string t_Hex8(long long value);
std::string t_FourCharCode(long long value);
std::string t_FirstLine(std::string_view s);
std::string t_PathDirectory(std::string_view path);
// The characters after the last '/', the whole path when there is none.
std::string t_PathFileName(std::string_view path);

// --- Text functions ---------------------------------------------------------
Text t_TextFill(uint8_t byte, int n);
Text t_TextUpperCase(const Text &t);
long long t_TextValue(const Text &t);
std::vector<Text> t_TextSplit(const Text &t, uint8_t separator);
Text t_TextJoin(const std::vector<Text> &parts, uint8_t separator);
// Each byte becomes the character with that code; ESC, four hex digits, GS
// becomes the character the digits give.
std::string t_TextToString(const Text &t);
// The UTF-8 bytes of a host string.
Text t_StringToText(std::string_view s);
// Bytes as a host string: as UTF-8 when they are valid UTF-8, else byte by
// byte (t_TextToString).
std::string t_BytesToString(const Text &bytes);

// --- the toolkit character set ----------------------------------------------
struct t_Converted {
    std::string Converted;   // host string whose characters are all codes 0..255
    bool Missing = false;
};
t_Converted t_ConvertUniCode(std::string_view s);
std::string t_UnicodeEscapes(std::string_view s);
std::string t_ResolveEscapes(std::string_view s);
// The escape sequence that carries a character above 255 inside toolkit text.
std::string t_EscapeSequence(char32_t c);

// Unicode services the host supplies (normalisation form C and lower-casing
// beyond Latin-1).  Until the host installs them, text passes unchanged and
// only Latin-1 letters are lower-cased.
struct t_UnicodeServices {
    std::function<std::string(std::string_view)> NormalizeC;
    std::function<char32_t(char32_t)> Lower;
};
void t_SetUnicodeServices(t_UnicodeServices services);

// --- hex tables (built by initvxtools) --------------------------------------
extern char t_HexDigits[16];
extern int t_HexValues[256];
void t_BuildHexTables();

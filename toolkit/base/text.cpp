// Text and the host string functions.
#include "text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

#include "log.h"
#include "threads.h"

// --- Text basics ------------------------------------------------------------

int t_TextCompare(const Text &a, const Text &b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; i++) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

Text operator+(Text a, const Text &b) {
    a.Elements.insert(a.Elements.end(), b.Elements.begin(), b.Elements.end());
    return a;
}

size_t t_TextHash(const Text &t) {
    // FNV-1a over the length and then every byte.
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint8_t b) { h = (h ^ b) * 1099511628211ull; };
    uint64_t n = t.size();
    for (int i = 0; i < 8; i++) mix(uint8_t(n >> (8 * i)));
    for (uint8_t b : t.Elements) mix(b);
    return size_t(h);
}

// --- UTF-8 ------------------------------------------------------------------

std::u32string t_Decode(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        uint8_t b = uint8_t(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + len <= s.size();
        for (int k = 1; ok && k < len; k++) {
            uint8_t cb = uint8_t(s[i + k]);
            if ((cb & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (cb & 0x3F);
        }
        // Reject overlong forms, surrogates and values past the Unicode range.
        if (ok && ((len == 2 && c < 0x80) || (len == 3 && c < 0x800) || (len == 4 && c < 0x10000) ||
                   (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF))
            ok = false;
        if (ok) {
            out.push_back(c);
            i += len;
        } else {
            out.push_back(b);   // a stray byte is read as its Latin-1 character
            i += 1;
        }
    }
    return out;
}

std::string t_EncodeChar(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (c >> 18)));
        out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
    return out;
}

std::string t_Encode(std::u32string_view chars) {
    std::string out;
    out.reserve(chars.size());
    for (char32_t c : chars) out += t_EncodeChar(c);
    return out;
}

int t_Length(std::string_view s) { return int(t_Decode(s).size()); }

// --- Unicode services -------------------------------------------------------

static t_Shared<t_UnicodeServices> services;

void t_SetUnicodeServices(t_UnicodeServices s) { services.Set(std::move(s)); }

// --- host string functions --------------------------------------------------

int t_Asc(std::string_view s) {
    std::u32string u = t_Decode(s);
    return u.empty() ? 0 : int(u[0]);
}

int t_LowerCode(int code) {
    if (code < 0) return 0;
    char32_t c = char32_t(code);
    if (c >= 'A' && c <= 'Z') return int(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return int(c + 32);
    if (c < 0x100) return int(c);
    t_UnicodeServices s = services.Get();
    return s.Lower ? int(s.Lower(c)) : int(c);
}

std::string t_CharAt(std::string_view s, int n) { return n < 1 ? std::string() : t_Mid(s, n, 1); }

std::string t_Left(std::string_view s, int n) {
    if (n < 1) return "";
    std::u32string u = t_Decode(s);
    if (size_t(n) >= u.size()) return t_Encode(u);
    return t_Encode(std::u32string_view(u).substr(0, size_t(n)));
}

std::string t_Right(std::string_view s, int n) {
    if (n < 1) return "";
    std::u32string u = t_Decode(s);
    if (size_t(n) >= u.size()) return t_Encode(u);
    return t_Encode(std::u32string_view(u).substr(u.size() - size_t(n)));
}

std::string t_MidFrom(std::string_view s, int n) {
    std::u32string u = t_Decode(s);
    if (n < 2) return t_Encode(u);
    if (size_t(n) > u.size()) return "";
    return t_Encode(std::u32string_view(u).substr(size_t(n) - 1));
}

std::string t_Mid(std::string_view s, int p, int n) {
    if (p < 2) return t_Left(s, n);
    std::u32string u = t_Decode(s);
    if (n < 1 || size_t(p) > u.size()) return "";
    return t_Encode(std::u32string_view(u).substr(size_t(p) - 1, size_t(n)));
}

int t_Position(std::string_view s, std::string_view pattern, int start) {
    std::u32string u = t_Decode(s);
    std::u32string pat = t_Decode(pattern);
    size_t from = start < 2 ? 0 : size_t(start) - 1;
    if (from > u.size() || pat.empty()) return 0;
    size_t at = u.find(pat, from);
    return at == std::u32string::npos ? 0 : int(at) + 1;
}

std::string t_Spaces(int n) {
    if (n < 1 || n > 32767) return "";
    return std::string(size_t(n), ' ');
}

std::string t_Repeat(std::string_view s, int n) {
    if (n < 1 || n > 32767 || s.empty()) return "";
    std::string out;
    out.reserve(s.size() * size_t(n));
    for (int i = 0; i < n; i++) out += s;
    return out;
}

static bool isWhite(char32_t c) {
    return c == ' ' || (c >= 9 && c <= 13) || c == 0x85 || c == 0xA0 || c == 0x2028 || c == 0x2029 ||
           c == 0x3000 || (c >= 0x2000 && c <= 0x200A);
}

std::string t_Center(std::string_view s, int width) {
    std::u32string u = t_Decode(s);
    size_t b = 0, e = u.size();
    while (b < e && isWhite(u[b])) b++;
    while (e > b && isWhite(u[e - 1])) e--;
    std::u32string core = u.substr(b, e - b);
    int len = int(core.size());
    std::string out;
    if (len < width) out = t_Spaces((width - len) / 2);
    return out + t_Encode(core);
}

std::string t_Justify(std::string_view left, std::string_view right, int width) {
    int gap = width - t_Length(left) - t_Length(right);
    if (gap < 1) return t_Left(std::string(left) + std::string(right), width);
    return std::string(left) + t_Spaces(gap) + std::string(right);
}

std::string t_NumberString(long long value, char32_t pad, int width, bool grouping) {
    unsigned long long magnitude = value < 0 ? 0ull - (unsigned long long)value : (unsigned long long)value;
    std::string digits = std::to_string(magnitude);
    if (grouping) {
        std::string grouped;
        int count = 0;
        for (size_t i = digits.size(); i-- > 0;) {
            if (count > 0 && count % 3 == 0) grouped.insert(grouped.begin(), '.');
            grouped.insert(grouped.begin(), digits[i]);
            count++;
        }
        digits = grouped;
    }
    if (value < 0) digits.insert(digits.begin(), '-');
    int len = int(digits.size());
    if (len < width) {
        std::string padChar = t_EncodeChar(pad);
        std::string out;
        for (int i = 0; i < width - len; i++) out += padChar;
        return out + digits;
    }
    return digits;
}

std::string t_DecimalString(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buf[64];
    double a = std::fabs(value);
    std::to_chars_result r;
    // Plain digits in the everyday range, exponent form for very large or
    // very small values.
    if (a == 0 || (a >= 1e-4 && a < 1e16))
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    else
        r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    std::string out(buf, r.ptr);
    std::replace(out.begin(), out.end(), '.', ',');
    if (out.size() >= 2 && out.compare(out.size() - 2, 2, ",0") == 0) out.resize(out.size() - 2);
    return out;
}

char t_HexDigits[16] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
int t_HexValues[256];

static const bool hexTablesBuilt = [] {
    t_BuildHexTables();
    return true;
}();

void t_BuildHexTables() {
    for (int &v : t_HexValues) v = -1;
    const char *digits = "0123456789ABCDEF";
    for (int d = 0; d < 16; d++) {
        t_HexDigits[d] = digits[d];
        t_HexValues[uint8_t(digits[d])] = d;
        t_HexValues[uint8_t(t_LowerCode(digits[d]))] = d;
    }
}

std::string t_Hex2(long long value) { return t_Hex2Text(value).bytes(); }

Text t_Hex2Text(long long value) {
    (void)hexTablesBuilt;
    unsigned v = unsigned(value) & 0xFF;
    return Text(std::vector<uint8_t>{uint8_t(t_HexDigits[v >> 4]), uint8_t(t_HexDigits[v & 15])});
}

Text t_Hex4Text(long long value) {
    unsigned v = unsigned(value) & 0xFFFF;
    return t_Hex2Text(v >> 8) + t_Hex2Text(v & 0xFF);
}

std::string t_Hex8(long long value) { return (t_Hex4Text(value >> 16) + t_Hex4Text(value)).bytes(); }

std::string t_FourCharCode(long long value) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) {
        uint8_t b = uint8_t((unsigned long long)value >> shift);
        out += b < 32 ? std::string("?") : t_EncodeChar(b);
    }
    return out;
}

std::string t_FirstLine(std::string_view s) {
    size_t at = s.find('\r');
    if (at == std::string_view::npos) at = s.find('\n');
    return std::string(at == std::string_view::npos ? s : s.substr(0, at));
}

std::string t_PathDirectory(std::string_view path) {
    size_t at = path.rfind('/');
    return at == std::string_view::npos ? "" : std::string(path.substr(0, at + 1));
}

std::string t_PathFileName(std::string_view path) {
    size_t at = path.rfind('/');
    return std::string(at == std::string_view::npos ? path : path.substr(at + 1));
}

// --- Text functions ---------------------------------------------------------

Text t_TextFill(uint8_t byte, int n) {
    if (n < 1) return Text();
    return Text(std::vector<uint8_t>(size_t(n), byte));
}

Text t_TextUpperCase(const Text &t) {
    Text out;
    out.Elements.reserve(t.size());
    for (uint8_t b : t.Elements) {
        if (b == 0xDF) {
            out.push_back('S');
            out.push_back('S');
        } else if ((b >= 0x61 && b <= 0x7A) || (b >= 0xE0 && b <= 0xE4) || (b >= 0xE7 && b <= 0xF6) ||
                   (b >= 0xF9 && b <= 0xFC)) {
            out.push_back(uint8_t(b - 0x20));
        } else {
            out.push_back(b);
        }
    }
    return out;
}

long long t_TextValue(const Text &t) {
    size_t i = 0;
    while (i < t.size() && t[i] == ' ') i++;
    bool negative = false;
    if (i < t.size() && t[i] == '-') {
        negative = true;
        i++;
        while (i < t.size() && t[i] == ' ') i++;
    }
    long long v = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; i++) {
        if (v > (LLONG_MAX - 9) / 10) break;   // stop before overflowing
        v = v * 10 + (t[i] - '0');
    }
    return negative ? -v : v;
}

std::vector<Text> t_TextSplit(const Text &t, uint8_t separator) {
    std::vector<Text> parts;
    if (t.empty()) return parts;
    Text current;
    for (uint8_t b : t.Elements) {
        if (b == separator) {
            parts.push_back(current);
            current = Text();
        } else {
            current.push_back(b);
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

Text t_TextJoin(const std::vector<Text> &parts, uint8_t separator) {
    Text out;
    for (size_t i = 0; i < parts.size(); i++) {
        if (i > 0) out.push_back(separator);
        out = out + parts[i];
    }
    return out;
}

// The value of four hex digits, or -1 when one of them is no hex digit.
template <typename Get> static long hexValue4(Get at) {
    long v = 0;
    for (int k = 0; k < 4; k++) {
        char32_t c = at(k);
        int d = c < 256 ? t_HexValues[c] : -1;
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

static bool isScalar(long v) { return v >= 0 && !(v >= 0xD800 && v <= 0xDFFF); }

std::string t_TextToString(const Text &t) {
    std::u32string out;
    out.reserve(t.size());
    for (size_t i = 0; i < t.size(); i++) {
        if (t[i] == 0x1B && i + 5 < t.size() && t[i + 5] == 0x1D) {
            long v = hexValue4([&](int k) { return char32_t(t[i + 1 + k]); });
            if (isScalar(v)) {
                out.push_back(char32_t(v));
                i += 5;
                continue;
            }
        }
        out.push_back(t[i]);
    }
    return t_Encode(out);
}

Text t_StringToText(std::string_view s) { return Text(t_Encode(t_Decode(s))); }

std::string t_BytesToString(const Text &bytes) {
    std::string s = bytes.bytes();
    return t_Encode(t_Decode(s)) == s ? s : t_TextToString(bytes);
}

// --- the toolkit character set ------------------------------------------------

struct SymbolCode {
    char32_t Unicode;
    uint8_t Code;
};

// Characters above 255 that have a glyph of their own in the toolkit set.
static const SymbolCode symbolCodes[] = {
    {0x02DA, 0xB0}, {0x03BC, 0xB5}, {0x03C0, 0xF0}, {0x2014, 0x9A}, {0x2019, 0xB4}, {0x201A, 0xB4},
    {0x2020, 0xBD}, {0x2022, 0xB8}, {0x2026, 0xBF}, {0x2075, 0xD7}, {0x2076, 0xBA}, {0x2077, 0xE5},
    {0x2078, 0xE6}, {0x2079, 0xBC}, {0x20AC, 0xA4}, {0x2122, 0xA8}, {0x2206, 0xFE}, {0x2208, 0xA1},
    {0x2070, 0xD8}, {0x220F, 0xD0}, {0x2211, 0xDD}, {0x221A, 0xFD}, {0x221E, 0xFF}, {0x222B, 0xDE},
    {0x2260, 0xAD}, {0x2264, 0xC5}, {0x2265, 0xC6}, {0x2074, 0xAA},
};

struct SymbolText {
    char32_t Unicode;
    const char *Replacement;
};

// Characters above 255 written with ASCII letters.
static const SymbolText symbolTexts[] = {
    {0x0152, "OE"}, {0x0153, "oe"}, {0x2013, "-"}, {0x2018, "`"}, {0x201C, "\""},
    {0x201D, "\""}, {0x201E, "\""}, {0x2039, "<"}, {0x203A, ">"},
};

t_Converted t_ConvertUniCode(std::string_view s) {
    t_UnicodeServices svc = services.Get();
    std::string normal = svc.NormalizeC ? svc.NormalizeC(s) : std::string(s);
    t_Converted result;
    std::u32string out;
    for (char32_t u : t_Decode(normal)) {
        if (u < 256) {
            if (u == 0x0A) out.push_back(0x0D);
            else if (u == 0xD8) out.push_back('0');
            else if (u == 0xE6) out += U"ae";
            else if (u == 0xC6) out += U"AE";
            else out.push_back(u);
            continue;
        }
        bool done = false;
        for (const SymbolText &st : symbolTexts) {
            if (st.Unicode == u) {
                for (const char *p = st.Replacement; *p; p++) out.push_back(char32_t(*p));
                done = true;
                break;
            }
        }
        for (const SymbolCode &sc : symbolCodes) {
            if (!done && sc.Unicode == u) {
                out.push_back(sc.Code);
                done = true;
            }
        }
        if (!done) {
            out.push_back(0x7F);
            t_Log("t_ConvertUniCode: Missing Unicode " + t_EncodeChar(u) + " = " + std::to_string(u));
            result.Missing = true;
        }
    }
    result.Converted = t_Encode(out);
    return result;
}

std::string t_EscapeSequence(char32_t c) {
    Text seq;
    seq.push_back(0x1B);
    seq = seq + t_Hex4Text(long(c));
    seq.push_back(0x1D);
    return seq.bytes();
}

std::string t_UnicodeEscapes(std::string_view s) {
    std::string out;
    for (char32_t c : t_Decode(s)) {
        if (c > 255) out += t_EscapeSequence(c);
        else if (c == '\n') out += '\r';
        else out += t_EncodeChar(c);
    }
    return out;
}

std::string t_ResolveEscapes(std::string_view s) {
    std::u32string u = t_Decode(s);
    std::u32string out;
    for (size_t i = 0; i < u.size(); i++) {
        if (u[i] == 0x1B && i + 5 < u.size() && u[i + 5] == 0x1D) {
            long v = hexValue4([&](int k) { return u[i + 1 + k]; });
            if (isScalar(v)) {
                out.push_back(char32_t(v));
                i += 5;
                continue;
            }
        }
        out.push_back(u[i]);
    }
    return t_Encode(out);
}

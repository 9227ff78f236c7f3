#include "mount_names.h"

#include <cerrno>

#include "directory.h"

static const char hexDigits[] = "0123456789ABCDEF";

// One name part (without its padding blanks) as the host shows it.
static std::string hostPart(const Text &part, bool escapePoint) {
    std::string out;
    for (uint8_t b : part.Elements) {
        if (b <= 0x20 || b > 0x7E || b == '/' || b == '%' || (escapePoint && b == '.')) {
            out += '%';
            out += hexDigits[b >> 4];
            out += hexDigits[b & 15];
        } else {
            out += char(b);
        }
    }
    return out;
}

std::string cli_MountHostName(const Text &displayName) {
    if (displayName.size() != 12) return "";
    cpm_NameParts parts = cpm_SplitName(displayName);
    std::string base = hostPart(parts.Name, true);
    std::string type = hostPart(parts.Type, false);
    // A type that holds a point would read back as a second one.
    for (size_t at; (at = type.find('.')) != std::string::npos;) type.replace(at, 1, "%2E");
    return type.empty() ? base : base + "." + type;
}

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Decodes one part; EINVAL for a character no CP/M name holds.
static int cpmPart(const std::string &host, Text &out) {
    for (size_t k = 0; k < host.size(); k++) {
        char c = host[k];
        if (c == '%') {
            int hi = k + 2 < host.size() ? hexValue(host[k + 1]) : -1;
            int lo = k + 2 < host.size() ? hexValue(host[k + 2]) : -1;
            if (hi < 0 || lo < 0) return EINVAL;
            out.push_back(uint8_t(hi * 16 + lo));
            k += 2;
            continue;
        }
        Text filtered = cpm_FilterName(Text(std::string(1, c)));
        if (filtered.empty()) return EINVAL;
        out.push_back(filtered[0]);
    }
    return 0;
}

int cli_MountCpmName(const std::string &hostName, Text &displayName) {
    size_t dot = hostName.find('.');
    std::string base = hostName.substr(0, dot);
    std::string type = dot == std::string::npos ? "" : hostName.substr(dot + 1);
    if (base.empty() || type.find('.') != std::string::npos) return EINVAL;
    Text b, t;
    if (int err = cpmPart(base, b); err != 0) return err;
    if (int err = cpmPart(type, t); err != 0) return err;
    if (b.size() > 8 || t.size() > 3) return ENAMETOOLONG;
    std::string name(12, ' ');
    for (size_t k = 0; k < b.size(); k++) name[k] = char(b[k]);
    name[8] = '.';
    for (size_t k = 0; k < t.size(); k++) name[9 + k] = char(t[k]);
    displayName = Text(name);
    return 0;
}

bool cli_MountSameName(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); k++) {
        char x = a[k], y = b[k];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

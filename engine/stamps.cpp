// Reading and setting the date stamps of files.
#include "stamps.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "entries.h"

// Days from 1 January 1970 to a civil date, and back (proleptic Gregorian).
static long long daysFromCivil(long long y, int m, int d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    long long yoe = y - era * 400;
    long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

static void civilFromDays(long long z, int &year, int &month, int &day) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

// CP/M's day 0: 31 December 1977, counted from 1 January 1970.
static const long long cpmDayZero = daysFromCivil(1977, 12, 31);

static int fromBcd(uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }
static uint8_t toBcd(int n) { return uint8_t((n / 10) << 4 | (n % 10)); }

cpm_Stamp cpm_ReadStamp(const uint8_t *bytes) {
    return {bytes[0] | bytes[1] << 8, fromBcd(bytes[2]), fromBcd(bytes[3])};
}

cpm_Stamp cpm_ReadValidStamp(const uint8_t *bytes) { return cpm_ValidStamp(bytes) ? cpm_ReadStamp(bytes) : cpm_Stamp(); }

void cpm_PutStamp(uint8_t *bytes, const cpm_Stamp &stamp) {
    bytes[0] = uint8_t(stamp.Days & 0xFF);
    bytes[1] = uint8_t((stamp.Days >> 8) & 0xFF);
    bytes[2] = cpm_HasStamp(stamp) ? toBcd(stamp.Hour) : 0;
    bytes[3] = cpm_HasStamp(stamp) ? toBcd(stamp.Minute) : 0;
}

bool cpm_ValidStamp(const uint8_t *bytes) {
    auto bcd = [](uint8_t b, int limit) { return (b >> 4) <= 9 && (b & 0x0F) <= 9 && fromBcd(b) < limit; };
    return (bytes[0] | bytes[1]) != 0 && bcd(bytes[2], 24) && bcd(bytes[3], 60);
}

cpm_Stamp cpm_StampOfDate(int year, int month, int day, int hour, int minute) {
    return {int(daysFromCivil(year, month, day) - cpmDayZero), hour, minute};
}

cpm_Stamp cpm_NowStamp() {
    time_t now = time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    return cpm_StampOfDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
}

static std::string formatted(const cpm_Stamp &stamp, char between) {
    if (!cpm_HasStamp(stamp)) return "";
    int y, m, d;
    civilFromDays(stamp.Days + cpmDayZero, y, m, d);
    char text[40];
    snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d", y, m, d, between, stamp.Hour, stamp.Minute);
    return text;
}

std::string cpm_StampText(const cpm_Stamp &stamp) { return formatted(stamp, ' '); }
std::string cpm_StampIso(const cpm_Stamp &stamp) { return formatted(stamp, 'T'); }

// Entry i's stamps lie in entry i|3, the fourth of its group.
static long long stampOffset(const cpm_Volume &volume, int entry) {
    int holder = entry | 3;
    if (entry < 0 || entry == holder || holder >= cpm_PresentEntries(volume)) return -1;
    if (cpm_EntryBytes(volume, holder)[0] != cpm_StampUser) return -1;
    return (long long)cpm_EntryOffset(volume, holder) + 1 + cpm_StampBytes * (entry % 4);
}

const uint8_t *cpm_StampBytesOf(const cpm_Volume &volume, int entry) {
    long long at = stampOffset(volume, entry);
    return at < 0 ? nullptr : volume.Image.data() + at;
}

uint8_t *cpm_StampBytesOf(cpm_Volume &volume, int entry) {
    long long at = stampOffset(volume, entry);
    return at < 0 ? nullptr : volume.Image.data() + at;
}

cpm_StampRules cpm_StampRulesOf(const cpm_Volume &volume) {
    cpm_StampRules rules;
    int present = cpm_PresentEntries(volume);
    for (int i = 3; i < present && !rules.Stamped; i += 4) rules.Stamped = cpm_EntryBytes(volume, i)[0] == cpm_StampUser;
    int label = cpm_LabelEntry(volume);
    if (label >= 0) {
        uint8_t flags = cpm_EntryBytes(volume, label)[12];
        rules.First = flags & cpm_AccessStampsBit ? cpm_FirstStamp::Access : cpm_FirstStamp::Create;
        rules.ShowFirst = (flags & (cpm_AccessStampsBit | cpm_CreateStampsBit)) != 0;
        rules.SetFirst = rules.Stamped && (flags & (cpm_AccessStampsBit | cpm_CreateStampsBit)) != 0;
        rules.SetUpdate = rules.Stamped && (flags & cpm_UpdateStampsBit) != 0;
    } else if (volume.Geometry.Os == cpm_Os::P2dos) {
        // P2DOS has no label: a stamped directory gets both stamps.
        rules.SetFirst = rules.SetUpdate = rules.Stamped;
    }
    return rules;
}

cpm_FileStamps cpm_StampsOf(const cpm_Volume &volume, int entry) {
    cpm_FileStamps stamps;
    if (const uint8_t *s = cpm_StampBytesOf(volume, entry)) {
        if (cpm_StampRulesOf(volume).ShowFirst) stamps.First = cpm_ReadValidStamp(s);
        stamps.Updated = cpm_ReadValidStamp(s + 4);
        stamps.PasswordMode = s[8];
    }
    return stamps;
}

void cpm_StampNewFile(cpm_Volume &volume, int entry) {
    uint8_t *s = cpm_StampBytesOf(volume, entry);
    if (!s) return;
    cpm_StampRules rules = cpm_StampRulesOf(volume);
    std::fill(s, s + cpm_StampBytes, uint8_t(0));
    cpm_Stamp now = cpm_NowStamp();
    if (rules.SetFirst) cpm_PutStamp(s, now);
    if (rules.SetUpdate) cpm_PutStamp(s + 4, now);
}

cpm_Stamp cpm_CreateStampOf(const cpm_Volume &volume, const Text &name, int user) {
    if (cpm_StampRulesOf(volume).First != cpm_FirstStamp::Create) return {};
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == user && cpm_NameIs(e, name, false))
            if (const uint8_t *s = cpm_StampBytesOf(volume, i)) return cpm_ReadValidStamp(s);
    }
    return {};
}

void cpm_KeepCreateStamp(cpm_Volume &volume, const Text &name, int user, const cpm_Stamp &created) {
    if (!cpm_HasStamp(created)) return;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == user && cpm_NameIs(e, name, false))
            if (uint8_t *s = cpm_StampBytesOf(volume, i)) cpm_PutStamp(s, created);
    }
}

void cpm_ClearStamps(cpm_Volume &volume, int entry) {
    if (uint8_t *s = cpm_StampBytesOf(volume, entry)) std::fill(s, s + cpm_StampBytes, uint8_t(0));
}

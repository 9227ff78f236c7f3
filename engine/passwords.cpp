// Password entries: the protection of a file and its password, as CP/M 3
// keeps them.
#include "passwords.h"

#include <cctype>

#include "entries.h"

int cpm_PasswordEntryOf(const cpm_Volume &volume, const Text &name, int user) {
    if (user < 0 || user >= cpm_UserAreas || name.size() != 12 || !cpm_PasswordsOn(volume)) return -1;
    int present = cpm_PresentEntries(volume);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(volume, i);
        if (e[0] == user + cpm_UserAreas && cpm_NameIs(e, name, false)) return i;
    }
    return -1;
}

static uint8_t modeOf(const cpm_Volume &volume, const Text &name, int user) {
    int entry = cpm_PasswordEntryOf(volume, name, user);
    return entry < 0 ? 0 : cpm_EntryBytes(volume, entry)[12];
}

char cpm_ProtectionOf(const cpm_Volume &volume, const Text &name, int user) {
    uint8_t mode = modeOf(volume, name, user);
    if (mode & cpm_ReadProtectBit) return 'R';
    if (mode & cpm_WriteProtectBit) return 'W';
    if (mode & cpm_DeleteProtectBit) return 'D';
    return 0;
}

bool cpm_NeedsPassword(const cpm_Volume &volume, const Text &name, int user, cpm_Change change) {
    char protection = cpm_ProtectionOf(volume, name, user);
    if (change == cpm_Change::Attributes) return protection == 'R' || protection == 'W';
    return protection != 0;
}

// The eight bytes of a password: upper case, blank-padded, cut at eight.
static void passwordBytes(const std::string &word, uint8_t out[8], uint8_t &key) {
    key = 0;
    for (size_t k = 0; k < 8; k++) {
        out[k] = k < word.size() ? uint8_t(std::toupper((unsigned char)word[k])) : uint8_t(' ');
        key = uint8_t(key + out[k]);
    }
}

void cpm_PutPassword(uint8_t *entry, const std::string &word) {
    uint8_t bytes[8], key;
    passwordBytes(word, bytes, key);
    entry[13] = key;
    for (int k = 0; k < 8; k++) entry[16 + 7 - k] = uint8_t(bytes[k] ^ key);
}

bool cpm_StoredPasswordIs(const uint8_t *entry, const std::string &word) {
    uint8_t bytes[8], key;
    passwordBytes(word, bytes, key);
    for (int k = 0; k < 8; k++)
        if (uint8_t(entry[16 + 7 - k] ^ entry[13]) != bytes[k]) return false;
    return true;
}

bool cpm_PasswordMatches(const cpm_Volume &volume, const Text &name, int user, const std::string &word) {
    int entry = cpm_PasswordEntryOf(volume, name, user);
    return entry >= 0 && cpm_StoredPasswordIs(cpm_EntryBytes(volume, entry), word);
}

void cpm_DropPasswordEntry(cpm_Volume &volume, const Text &name, int user) {
    int entry = cpm_PasswordEntryOf(volume, name, user);
    if (entry < 0) return;
    uint8_t *e = cpm_EntryBytes(volume, entry);
    std::fill(e, e + cpm_EntrySize, cpm_ErasedUser);
}

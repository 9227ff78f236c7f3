// CP/M 3 passwords: a convention of the directory, not encryption.
//
// With passwords on (the label's cpm_PasswordsBit) an entry of user N+16
// carrying a file's name is its password entry (XFCB):
//
//   byte 12      the protection mode: bit 7 read, bit 6 write, bit 5 delete
//   byte 13      the key: the sum of the password's eight bytes
//   bytes 16-23  the password (upper case, blank-padded to 8), each byte
//                XOR the key, stored last byte first
//
// The label keeps its own password the same way in bytes 13 and 16-23.
#pragma once

#include <string>

#include "entry.h"
#include "volume.h"

constexpr uint8_t cpm_ReadProtectBit = 0x80;
constexpr uint8_t cpm_WriteProtectBit = 0x40;
constexpr uint8_t cpm_DeleteProtectBit = 0x20;

// What a change does to a file, for the protection it meets: erasing or
// replacing it needs the password under any mode; changing its attributes,
// under read or write protection.
enum class cpm_Change : uint8_t { Erase, Attributes };

// The password entry of the file of the user area, or -1 (none, or
// passwords off).
int cpm_PasswordEntryOf(const cpm_Volume &volume, const Text &name, int user);
// The protection of the file: 'R', 'W', 'D' (the strongest its mode
// holds), or 0 for none.
char cpm_ProtectionOf(const cpm_Volume &volume, const Text &name, int user);
// The change needs the file's password.
bool cpm_NeedsPassword(const cpm_Volume &volume, const Text &name, int user, cpm_Change change);
// The word is the file's password (checked as CP/M 3 encodes it).
bool cpm_PasswordMatches(const cpm_Volume &volume, const Text &name, int user, const std::string &word);
// Writes the encoded password and its key into bytes 13 and 16-23 of an
// entry (a password entry or the label).
void cpm_PutPassword(uint8_t *entry, const std::string &word);
// The word matches the password bytes 13 and 16-23 of an entry hold.
bool cpm_StoredPasswordIs(const uint8_t *entry, const std::string &word);
// Makes the file's password entry unused (the file erased or replaced).
void cpm_DropPasswordEntry(cpm_Volume &volume, const Text &name, int user);

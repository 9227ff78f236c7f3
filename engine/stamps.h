// Date stamps of files: the entries of user 0x21 that CP/M 3 and P2DOS keep
// in every fourth directory slot.
//
// Entry 4k+3 of the stamp kind holds in bytes 1-30 three 10-byte stamps,
// one for each of entries 4k, 4k+1 and 4k+2:
//
//   bytes 0-3   create (or access) stamp: days since 31 December 1977
//               (16 bits, low byte first), hours and minutes in BCD
//   bytes 4-7   update stamp, the same way
//   byte 8      the file's password mode (CP/M 3)
//   byte 9      unused
//
// P2DOS keeps create and update stamps in the same places.  A stamp of day
// 0 is one the disk did not set.
#pragma once

#include <cstdint>
#include <string>

#include "entry.h"
#include "volume.h"

constexpr int cpm_StampBytes = 10;       // one file's stamps in the stamp entry

// One stamp: Days 0 is none.
struct cpm_Stamp {
    int Days = 0;            // since 31 December 1977: 1 is 1 January 1978
    int Hour = 0;
    int Minute = 0;
};
inline bool cpm_HasStamp(const cpm_Stamp &s) { return s.Days != 0; }

// What the first stamp of a file means on a disk.
enum class cpm_FirstStamp : uint8_t { Create, Access };

// How a disk keeps stamps: whether it has stamp entries, what its label
// (or its system, P2DOS) says the first stamp is, and which stamps new and
// rewritten files get.
struct cpm_StampRules {
    bool Stamped = false;            // stamp entries in the directory
    cpm_FirstStamp First = cpm_FirstStamp::Create;
    bool ShowFirst = true;           // the label keeps create or access stamps (or there is no label)
    bool SetFirst = false;           // put sets the create or access stamp
    bool SetUpdate = false;          // put and rewriting set the update stamp
};
cpm_StampRules cpm_StampRulesOf(const cpm_Volume &volume);

// The two stamps of a file's entry, and its password mode byte.  The first
// is none where the label keeps neither create nor access stamps.
struct cpm_FileStamps {
    cpm_Stamp First;         // create or access, as the rules say
    cpm_Stamp Updated;
    uint8_t PasswordMode = 0;
};
// The stamps of directory entry i; none when its group has no stamp entry.
cpm_FileStamps cpm_StampsOf(const cpm_Volume &volume, int entry);

// The 10 stamp bytes of entry i, or nullptr when its group has no stamp
// entry (or entry i is the stamp entry itself).
const uint8_t *cpm_StampBytesOf(const cpm_Volume &volume, int entry);
uint8_t *cpm_StampBytesOf(cpm_Volume &volume, int entry);

// Four bytes of a stamp as they lie in the entry, and back.
cpm_Stamp cpm_ReadStamp(const uint8_t *bytes);
void cpm_PutStamp(uint8_t *bytes, const cpm_Stamp &stamp);
// A stamp of a real date: days set, hours and minutes in BCD within the day.
bool cpm_ValidStamp(const uint8_t *bytes);
// The stamp, or none for bytes that hold no real date (0xE5 filler).
cpm_Stamp cpm_ReadValidStamp(const uint8_t *bytes);
// The current local time as a stamp (CP/M keeps no zone).
cpm_Stamp cpm_NowStamp();
// The stamp of a calendar date and time (year from 1978).
cpm_Stamp cpm_StampOfDate(int year, int month, int day, int hour, int minute);
// "1999-12-31 23:59", or "" for none.
std::string cpm_StampText(const cpm_Stamp &stamp);
// "1999-12-31T23:59", or "" for none.
std::string cpm_StampIso(const cpm_Stamp &stamp);

// An entry of a new file gets the stamps the rules set, its password mode
// cleared.
void cpm_StampNewFile(cpm_Volume &volume, int entry);
// The create stamp of the file of the user area (none on a disk whose first
// stamp is the access stamp), and the same stamp given back to every entry
// of the file: a file rewritten keeps the date it was made.
cpm_Stamp cpm_CreateStampOf(const cpm_Volume &volume, const Text &name, int user);
void cpm_KeepCreateStamp(cpm_Volume &volume, const Text &name, int user, const cpm_Stamp &created);
// An erased entry's stamps go to zero.
void cpm_ClearStamps(cpm_Volume &volume, int entry);

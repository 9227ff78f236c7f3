// The medium of an Apple II 5.25-inch disk read from its disk bytes (WOZ,
// NIB): every physical sector of 35 tracks, 16 a track, numbered as its
// address field names it (cylinder = track, head 0, id 0-15, 256 bytes),
// and the way changed sectors go back into the disk bytes.
#pragma once

#include <functional>
#include <string>

#include "apple_gcr.h"
#include "medium.h"

constexpr int cpm_NibbleTracks = 35;
constexpr int cpm_NibbleSectors = 16;

// What the decoding of the tracks found, for info.
struct cpm_NibbleTally {
    int Decoded = 0;                    // tracks with all 16 sectors good
    std::vector<std::string> Bad;       // "T3 S5" of sectors found with a bad data checksum
    std::vector<std::string> Missing;   // "T3 S5" of sectors not found, or found without data
    std::vector<int> Volumes;           // the volume number of each good address field
    int Thirteen = 0;                   // 13-sector address fields
    int FirstUnwritable = -1;           // the first track that cannot be rewritten exactly
};

// A medium of 35 tracks whose sectors are all missing, ready for the tracks.
void cpm_StartNibbleMedium(cpm_Medium &medium);
// Puts track t's sectors into the medium (a sector found twice with
// different contents is a data error); false when the track cannot be
// rewritten exactly: not 16 good sectors, or an address field unread.
bool cpm_PlaceTrack(cpm_Medium &medium, int t, const cpm_GcrTrack &track, cpm_NibbleTally &tally);
// The notes of the tally, the unwritable track's refusal, and the sectors
// as decoded (kept, to tell the sectors changed on saving).
void cpm_FinishNibbleMedium(cpm_Medium &medium, const cpm_NibbleTally &tally);
// The bytes of track t's sectors as they were decoded.
bool cpm_TrackChanged(const cpm_Medium &medium, const Text &decoded, int t);
// Writes the data fields of track t's changed sectors: `put` gets each new
// disk byte and where the old one starts.
void cpm_RewriteTrack(const cpm_Medium &medium, const Text &decoded, int t, const cpm_GcrTrack &track,
                      const std::function<void(uint32_t at, uint8_t value)> &put);
// The 16 physical sectors of track t of a medium with explicit sectors
// (cylinder, head 0, id 0-15, 256 bytes), zero where one is missing.
Text cpm_PhysicalTrack(const cpm_Medium &sectors, int t);
// The tracks such a medium holds: 35, or more when its cylinders say so.
int cpm_PhysicalTracks(const cpm_Medium &sectors);

// NIB and NB2: the disk bytes of 35 tracks (6656 or 6384 bytes each) of a
// 5.25-inch disk, decoded into its physical sectors and written back in place.
#pragma once

#include "medium.h"

constexpr size_t cpm_NibTrackBytes = 6656;
constexpr size_t cpm_Nb2TrackBytes = 6384;

bool cpm_ClaimsNib(const Text &file);
bool cpm_ClaimsNb2(const Text &file);
// The disk bytes of a NIB or NB2 file (or the data of a nibble 2IMG) into
// the medium; the bytes and the sectors as decoded are added to Kept.
std::string cpm_DecodeNib(Text nibbles, cpm_Medium &medium);
std::string cpm_DecodeNibFile(Text file, cpm_Medium &medium);
// The disk bytes kept at Kept[from], with the changed sectors' data fields
// re-encoded in place (the decoded sectors at Kept[from + 1]).
Text cpm_EncodeNib(const cpm_Medium &medium, size_t from);
Text cpm_EncodeNibFile(const cpm_Medium &medium);
// A NIB file of a medium with every sector explicit (cylinder, head 0, id =
// physical sector 0-15, 256 bytes): standard formatting, volume 254.
Text cpm_MakeNib(const cpm_Medium &sectors);

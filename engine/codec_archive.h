// Zipped and gzipped images, inflated through libarchive and opened
// read-only: the container's own codec decodes what was inside.
#pragma once

#include <string>

#include "medium.h"

extern const char *const cpm_CompressedMessage;   // "Compressed image: opened read-only."
extern const char *const cpm_NoMemberMessage;     // the archive holds no member of that name

// The codec row: a zip archive or a gzip stream; inflates the first image.
bool cpm_ArchiveClaims(const Text &file);
std::string cpm_ArchiveDecode(Text file, cpm_Medium &medium);
// The archive's member of that name ("": its first image), inflated: its
// bytes, as yet undecoded (cpm_DecodeInflated decodes them), and what the
// archive holds.
// A member larger than `limit` bytes is refused before it is inflated when
// its header says so, else as soon as inflating passes the limit
// ("Image file too large.").  "" or why not; when not, the medium is
// one without sectors that refuses with the reason.
std::string cpm_DecodeArchiveMember(const Text &file, const std::string &member, cpm_Medium &medium,
                                    long long limit);
// ARCHIVE:MEMBER, for a path that names no file: true, with the two parts,
// when the part before a colon is a file.
bool cpm_MemberPath(const std::string &path, std::string &archive, std::string &member);
// "games.zip: 3 images; opened A.DSK (the tool's games.zip:MEMBER opens
// another)." for an archive of several images, else "".
std::string cpm_MembersNotice(const cpm_Medium &medium, const std::string &archiveName);

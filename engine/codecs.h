// The codec table: the containers a file may be.  A new container is one
// row of cpm_Codecs.
#pragma once

#include <string>

#include "medium.h"

// One container: a test that claims a file by its first bytes, a decoder
// (file bytes -> medium; "" or why not) and an encoder (medium -> file
// bytes; nullptr: the container is read-only).
struct cpm_Codec {
    const char *Name;
    bool (*Claims)(const Text &file);
    std::string (*Decode)(Text file, cpm_Medium &medium);
    Text (*Encode)(const cpm_Medium &medium);
};
// The rows in the order they are asked; raw, last, claims every file.
extern const cpm_Codec cpm_Codecs[];
extern const int cpm_CodecCount;

// The medium of the file's bytes, decoded by the first codec that claims
// them (a container that does not decode is read as raw bytes, with a note).
cpm_Medium cpm_DecodeFile(Text file);
// The medium of what a compressed file held (an archive row's medium: the
// inflated bytes): decoded by the table's other rows, an archive in it not
// opened, with the archive's facts and its refusal kept.
cpm_Medium cpm_DecodeInflated(cpm_Medium archive);
// The file's bytes of the medium, by the codec that decoded it.
Text cpm_EncodeFile(const cpm_Medium &medium);
// "2IMG", or "none" for raw bytes; a compressed one "zip", "gzip of TeleDisk".
std::string cpm_ContainerName(const cpm_Medium &medium);
// The refusal of a 2IMG that holds nibbles, not sectors.
extern const char *const cpm_NibblesMessage;    // "Nibble images are not supported."

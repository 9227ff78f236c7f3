// Zip archives and gzip streams of disk images.  The archive is read from
// memory; its members are listed from their headers, and only the member
// opened is inflated, a piece at a time, so that a member that grows past
// the image size limit stops there (a zip bomb costs no more than the limit).
// The image inside is decoded by the codec table like any file; the
// compressed file is never written back.
#include "codec_archive.h"

#include <algorithm>
#include <cctype>

#include <archive.h>
#include <archive_entry.h>

#include "files.h"
#include "volume.h"

const char *const cpm_CompressedMessage = "Compressed image: opened read-only.";
const char *const cpm_NoMemberMessage = "no such image in the archive";

namespace {

bool isZip(const Text &f) {
    return f.size() >= 4 && f[0] == 'P' && f[1] == 'K' && ((f[2] == 3 && f[3] == 4) || (f[2] == 5 && f[3] == 6));
}
bool isGzip(const Text &f) { return f.size() >= 3 && f[0] == 0x1F && f[1] == 0x8B && f[2] == 8; }

// Members that are documents beside the images, not images.
const char *const documentExtensions[] = {"txt", "doc", "nfo", "diz", "md", "pdf", "htm", "html", "jpg", "png", "gif", "rtf"};

bool document(const std::string &name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char &c : ext) c = char(std::tolower((unsigned char)c));
    return std::any_of(std::begin(documentExtensions), std::end(documentExtensions),
                       [&](const char *d) { return ext == d; });
}

// An archive open for reading, freed however the reading ends.
struct Reader {
    archive *Handle = archive_read_new();
    ~Reader() { archive_read_free(Handle); }
};

std::string failed(archive *a) {
    const char *why = archive_error_string(a);
    return std::string("Compressed image could not be read") + (why ? std::string(": ") + why : ".");
}

// The member's bytes, inflated up to the limit.
std::string inflate(archive *a, long long limit, Text &out) {
    std::vector<uint8_t> &bytes = out.Elements;
    uint8_t piece[1 << 16];
    for (;;) {
        la_ssize_t n = archive_read_data(a, piece, sizeof piece);
        if (n < 0) return failed(a);
        if (n == 0) return "";
        if ((long long)bytes.size() + n > limit) return "Image file too large.";
        bytes.insert(bytes.end(), piece, piece + n);
    }
}

// A zip member packed with LZMA or XZ: its decoder reserves the dictionary
// the member's own header asks for, up to gigabytes, and libarchive puts no
// limit on it.  Disk images are zipped stored, with deflate or with bzip2,
// whose memory is bounded; libarchive names the method of the member whose
// header it read last in the format's name ("ZIP 6.3 (lzma)").
bool unboundedMethod(archive *a) {
    const char *format = archive_format_name(a);
    std::string name = format ? format : "";
    return name.find("(lzma)") != std::string::npos || name.find("(xz)") != std::string::npos;
}

}  // namespace

bool cpm_ArchiveClaims(const Text &file) { return isZip(file) || isGzip(file); }

namespace {

std::string decodeMember(const Text &file, const std::string &wanted, cpm_Medium &m, long long limit) {
    Reader reader;
    archive *a = reader.Handle;
    bool gzip = isGzip(file);
    if (gzip) {
        archive_read_support_filter_gzip(a);
        archive_read_support_format_raw(a);
    } else {
        archive_read_support_format_zip(a);
    }
    if (archive_read_open_memory(a, file.data(), file.size()) != ARCHIVE_OK) return failed(a);
    Text inner;
    std::string opened, error;
    std::vector<std::string> members;
    archive_entry *entry = nullptr;
    for (;;) {
        int status = archive_read_next_header(a, &entry);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN) return failed(a);
        std::string name = gzip ? "" : (archive_entry_pathname(entry) ? archive_entry_pathname(entry) : "");
        bool sized = archive_entry_size_is_set(entry);
        if (archive_entry_filetype(entry) != AE_IFREG || (sized && archive_entry_size(entry) == 0) || document(name))
            continue;
        members.push_back(name);
        bool take = opened.empty() && error.empty() && (wanted.empty() || name == wanted);
        if (!take) continue;
        opened = name;
        if (sized && archive_entry_size(entry) > limit) error = "Image file too large.";
        else if (!gzip && unboundedMethod(a)) error = "Compressed image could not be read: LZMA and XZ zip members are not supported.";
        else error = inflate(a, limit, inner);
        if (gzip) break;
    }
    if (!error.empty()) return error;
    if (members.empty()) return "Compressed image: no disk image inside.";
    if (opened.empty() && !gzip) return cpm_NoMemberMessage;
    // The bytes inside, for the codec table to decode (cpm_DecodeInflated).
    m = cpm_Medium();
    m.Codec = "raw";
    m.Bytes = std::move(inner);
    m.Compression = gzip ? "gzip" : "zip";
    m.Members = members;
    m.Member = opened;
    m.Unsaveable = cpm_CompressedMessage;
    return "";
}

}  // namespace

std::string cpm_DecodeArchiveMember(const Text &file, const std::string &wanted, cpm_Medium &m, long long limit) {
    std::string error = decodeMember(file, wanted, m, limit);
    if (error.empty()) return "";
    // An archive that cannot be opened holds no sectors to read: it is
    // refused with the reason, never read as raw bytes or written.
    m = cpm_Medium();
    m.Codec = "raw";
    m.Compression = isGzip(file) ? "gzip" : "zip";
    m.NoSectors = true;
    m.Unsaveable = error;
    return error;
}

std::string cpm_ArchiveDecode(Text file, cpm_Medium &m) {
    cpm_DecodeArchiveMember(file, "", m, cpm_MaxImageBytes);
    return "";
}

bool cpm_MemberPath(const std::string &path, std::string &archive, std::string &member) {
    for (size_t colon = path.rfind(':'); colon != std::string::npos && colon > 0; colon = path.rfind(':', colon - 1)) {
        if (colon + 1 >= path.size() || t_FileExists(path.substr(0, colon)) != 1) continue;
        archive = path.substr(0, colon);
        member = path.substr(colon + 1);
        return true;
    }
    return false;
}

std::string cpm_MembersNotice(const cpm_Medium &m, const std::string &archiveName) {
    if (m.Members.size() < 2) return "";
    return archiveName + ": " + std::to_string(m.Members.size()) + " images; opened " + m.Member + " (the tool's " +
           archiveName + ":MEMBER opens another).";
}

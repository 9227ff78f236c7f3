// Image files: read from the host (a file, a member of an archive, a
// floppy drive, one slice of a card), written back through the safe write
// path, and new volumes made.
#include "image.h"

#include <filesystem>
#include <unistd.h>

#include "codec_archive.h"
#include "codec_libdsk.h"
#include "codecs.h"
#include "definitions.h"
#include "files.h"
#include "layout.h"
#include "maintenance.h"
#include "opening.h"
#include "slices.h"

std::string cpm_ImageFileRefusal(const std::string &path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return "is a folder";
    auto size = std::filesystem::file_size(path, error);
    if (!error && size == 0) return "is empty";
    // A file of slices is read a slice at a time: only one slice is held whole.
    if (!error && (long long)size > cpm_MaxImageBytes && ((long long)size > cpm_MaxSlicedBytes || !cpm_SlicedPath(path)))
        return "Image file too large.";
    return "";
}

cpm_Volume cpm_LoadVolume(const std::string &path, const std::string &format) {
    // A slice named (FILE@N), or a file of several volumes: only one slice is read.
    // A format named, or chosen for the file before, reads the whole file instead.
    bool literal = t_FileExists(path) == 1;
    if ((!literal || (format.empty() && cpm_RememberedFormat(path).empty())) && cpm_ImageFileRefusal(path).empty() &&
        cpm_SlicedPath(path))
        return cpm_LoadSlice(path, format);
    // ARCHIVE.zip:MEMBER names a member of an archive, unless a file has that name.
    std::string file = path, member;
    bool inArchive = t_FileExists(path) == 0 && cpm_MemberPath(path, file, member);
    if (t_FileExists(file) != 1 || !cpm_ImageFileRefusal(file).empty()) return cpm_EmptyVolume();
    // Only a regular file is an image: looked at, then opened without
    // waiting and looked at again before any read, so that a pipe, socket or
    // device is never read.  A file that vanished between the test and the
    // read is no volume either.
    std::error_code error;
    cpm_Medium medium;
    t_FileStamp stamp;
    if (std::filesystem::is_block_file(file, error) && !inArchive) {
        // A floppy drive is read sector by sector through libdsk, never written.
        if (!cpm_ReadDrive(file, medium).empty()) return cpm_EmptyVolume();
    } else {
        if (!std::filesystem::is_regular_file(file, error)) return cpm_EmptyVolume();
        int fd = -1;
        long long size = 0;
        Text bytes;
        int err = t_OpenRegularFile(file, fd, size);
        if (err == 0) err = t_ReadOpenFile(fd, size, bytes, &stamp);
        if (err == t_NotRegularFile || (err != 0 && t_FileExists(file) != 1)) return cpm_EmptyVolume();
        if (err != 0) cpm_Diag("gettextfromfile: Error #" + t_ErrorText(err));
        if (!inArchive) medium = cpm_DecodeFile(std::move(bytes));
        else if (!cpm_ArchiveClaims(bytes) ||
                 cpm_DecodeArchiveMember(bytes, member, medium, cpm_MaxImageBytes) == cpm_NoMemberMessage)
            return cpm_EmptyVolume();
        else
            medium = cpm_DecodeInflated(std::move(medium));
    }
    // A container's sectors are not its file's size: definitions a filtered
    // library passed over may be the ones that read them.
    if (cpm_ContainerName(medium) != "none") cpm_WidenLibrary();
    // The user's choice wins over recognition: named now, or remembered for the file.
    std::string chosen = format.empty() ? cpm_RememberedFormat(path) : format;
    const cpm_Definition *definition = chosen.empty() ? nullptr : cpm_FindDefinition(chosen);
    cpm_Volume volume = definition ? cpm_OpenMediumAs(std::move(medium), path, *definition, format.empty() ? "remembered" : "chosen")
                                   : cpm_OpenMedium(std::move(medium), path);
    volume.Notice = cpm_MembersNotice(volume.Medium, t_PathFileName(file));
    if (!inArchive) volume.FileStamp = stamp;
    // A file the user may not write (or one on a read-only file system) is
    // opened read-only, so saving says so instead of failing.
    if (access(file.c_str(), W_OK) != 0) volume.ReadOnly = true;
    return volume;
}
cpm_SaveVolumeResult cpm_SaveVolume(cpm_Volume volume, bool hold) {
    if (cpm_Refused(volume)) {
        std::string refusal = volume.Refusal;
        return {std::move(volume), std::move(refusal)};
    }
    if (volume.ReadOnly) return {std::move(volume), "Image file is read-only."};
    // One slice of a file of many: its changed ranges are written in place.
    if (volume.Slice >= 0) return cpm_SaveSlice(std::move(volume));
    // An image stored as it is, without a container, is written without a copy.
    bool asIs = cpm_LayoutOf(volume.Geometry).SectorBytes == 0 && volume.Medium.Codec == "raw" &&
                volume.ShortFileBytes == 0;
    Text file = asIs ? Text() : cpm_FileImage(volume);
    const Text &bytes = asIs ? volume.Image : file;
    int held = -1;
    int err = hold ? t_WriteFileHeld(volume.Path, bytes, held) : t_WriteFile(volume.Path, bytes, t_WriteImage);
    if (err != 0) cpm_Diag("setbinarytofile: Error #" + t_ErrorText(err));
    // Written, but its folder not flushed: saved all the same, and said.
    if (err != 0 && !t_SavedButNotFlushed(err)) return {std::move(volume), t_ErrorText(err)};
    if (volume.ShortFileBytes > 0)
        volume.ShortFileBytes = (long long)file.size() < (long long)volume.Image.size() ? (long long)file.size() : 0;
    volume.Changed = false;
    return {std::move(volume), err != 0 ? t_ErrorText(err) : "", held};
}

std::string cpm_NewVolumeSizeMessage(long long sizeKB) {
    if (sizeKB < cpm_MinNewKB) return "Size too small.";
    if (sizeKB > cpm_MaxNewKB) return "Size too big.";
    if (sizeKB % 2 != 0) return "Size must be even.";
    return "";
}

cpm_Volume cpm_MakeVolume(const std::string &path, int sizeKB) {
    cpm_Volume v = cpm_EmptyVolume();
    v.Image = t_TextFill(0x00, sizeKB * 1024);
    v.Path = path;
    v.VolumeKB = sizeKB;
    return cpm_InitVolume(std::move(v));
}

cpm_NewVolumeResult cpm_NewVolume(const std::string &path, long long sizeKB) {
    std::string refusal = cpm_NewVolumeSizeMessage(sizeKB);
    if (!refusal.empty()) return {cpm_EmptyVolume(), refusal};
    cpm_SaveVolumeResult saved = cpm_SaveVolume(cpm_MakeVolume(path, int(sizeKB)));
    return {std::move(saved.Volume), std::move(saved.Message)};
}

// The file system operations of a mount over the engine.  Every change is
// made on a copy of the volume and taken only when the engine took it whole,
// so a refused write leaves the volume as it was.
#include "mount_volume.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "attributes.h"
#include "directory.h"
#include "entries.h"
#include "label.h"
#include "listing.h"
#include "maintenance.h"
#include "mount_names.h"
#include "read.h"
#include "rename.h"
#include "stamps.h"
#include "user_areas.h"
#include "write.h"

cli_MountVolume cli_MountOf(cpm_Volume volume, bool allUsers, int user, bool readOnly) {
    cli_MountVolume m;
    m.ReadOnly = readOnly || volume.ReadOnly || cpm_Refused(volume) || cpm_FormatUnclear(volume);
    m.Volume = std::move(volume);
    m.AllUsers = allUsers;
    m.User = user;
    return m;
}

bool cli_MountAllUsersByDefault(const cpm_Volume &volume) { return cpm_UsersWithFiles(volume).size() > 1; }

// --- places ------------------------------------------------------------------------

namespace {
enum class Kind { Root, Folder, File };
struct Place {
    Kind What = Kind::Root;
    int User = 0;
    std::string Name;    // the file's host name
};
struct File {
    int Entry = -1;      // its main directory entry
    Text Name;           // the 12-byte display name
};
}

// "0" ... "15" as written by the folder listing; -1 for anything else.
static int userFolder(const std::string &name) {
    if (name.empty() || name.size() > 2 || (name.size() == 2 && name[0] == '0')) return -1;
    if (name.find_first_not_of("0123456789") != std::string::npos) return -1;
    int n = std::stoi(name);
    return n < cpm_UserAreas ? n : -1;
}

static int placeOf(const cli_MountVolume &m, const std::string &path, Place &place) {
    std::vector<std::string> parts;
    for (size_t at = 0; at < path.size();) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        if (end > at) parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    place = Place();
    place.User = m.User;
    if (parts.empty()) return 0;
    if (m.AllUsers) {
        place.User = userFolder(parts[0]);
        if (place.User < 0) return -ENOENT;
        parts.erase(parts.begin());
        place.What = Kind::Folder;
        if (parts.empty()) return 0;
    }
    if (parts.size() > 1) return -ENOENT;
    place.What = Kind::File;
    place.Name = parts[0];
    return 0;
}

// The listed files of a user area: main entries and their display names.
static std::vector<File> filesOf(const cpm_Volume &v, int user) {
    cpm_DirectoryLists lists = cpm_LoadDirectory(v, user);
    std::vector<File> files;
    for (size_t i = 0; i < lists.Names.size(); i++)
        if (lists.Sizes[i] >= 0 && !lists.Names[i].empty() && lists.Names[i][0] != cpm_ErasedUser)
            files.push_back({int(i), lists.Names[i]});
    return files;
}

// The file a host name names: its exact host name first, else one that
// differs only in the case of letters.
static File findFile(const cpm_Volume &v, int user, const std::string &host) {
    std::vector<File> files = filesOf(v, user);
    for (const File &f : files)
        if (cli_MountHostName(f.Name) == host) return f;
    for (const File &f : files)
        if (cli_MountSameName(cli_MountHostName(f.Name), host)) return f;
    return File();
}

static bool folderShown(const cli_MountVolume &m, int user) {
    return m.MadeUsers.count(user) || !filesOf(m.Volume, user).empty();
}

// The place as an existing file: ENOENT for none, EISDIR for a folder.
static int existingFile(const cli_MountVolume &m, const std::string &path, Place &place, File &file) {
    if (int err = placeOf(m, path, place); err != 0) return err;
    if (place.What != Kind::File) return -EISDIR;
    file = findFile(m.Volume, place.User, place.Name);
    return file.Entry < 0 ? -ENOENT : 0;
}

static bool readOnlyFile(const cpm_Volume &v, int entry) { return cpm_EntryAttributes(v, entry) & cpm_ReadOnlyBit; }

// --- reading -------------------------------------------------------------------------

// A stamp as host time; the CP/M day 1 is 1 January 1978, local time.
static long long hostTime(const cpm_Stamp &s) {
    struct tm t{};
    t.tm_year = 78;
    t.tm_mday = s.Days;
    t.tm_hour = s.Hour;
    t.tm_min = s.Minute;
    t.tm_isdst = -1;
    return (long long)mktime(&t);
}

int cli_MountGetattr(cli_MountVolume &m, const std::string &path, struct stat &st) {
    Place place;
    if (int err = placeOf(m, path, place); err != 0) return err;
    st = {};
    st.st_uid = m.Uid;
    st.st_gid = m.Gid;
    st.st_mtime = st.st_ctime = st.st_atime = time_t(m.ImageTime);
    unsigned writable = m.ReadOnly ? 0 : 0200;
    if (place.What != Kind::File) {
        if (place.What == Kind::Folder && !folderShown(m, place.User)) return -ENOENT;
        st.st_mode = S_IFDIR | 0555 | writable;
        st.st_nlink = 2;
        return 0;
    }
    File file = findFile(m.Volume, place.User, place.Name);
    if (file.Entry < 0) return -ENOENT;
    st.st_mode = S_IFREG | 0444 | (readOnlyFile(m.Volume, file.Entry) ? 0 : writable);
    st.st_nlink = 1;
    st.st_size = cpm_FileSize(m.Volume, file.Entry);
    st.st_blksize = m.Volume.Geometry.BlockSize;
    st.st_blocks = cpm_BlocksK(m.Volume, st.st_size) * 2;
    cpm_FileStamps stamps = cpm_StampsOf(m.Volume, file.Entry);
    if (cpm_HasStamp(stamps.Updated)) st.st_mtime = st.st_ctime = time_t(hostTime(stamps.Updated));
    else if (cpm_HasStamp(stamps.First)) st.st_mtime = st.st_ctime = time_t(hostTime(stamps.First));
    return 0;
}

int cli_MountList(cli_MountVolume &m, const std::string &path, std::vector<std::string> &names) {
    Place place;
    if (int err = placeOf(m, path, place); err != 0) return err;
    names.clear();
    if (place.What == Kind::File) return -ENOTDIR;
    if (place.What == Kind::Root && m.AllUsers) {
        for (int u = 0; u < cpm_UserAreas; u++)
            if (folderShown(m, u)) names.push_back(std::to_string(u));
        return 0;
    }
    if (place.What == Kind::Folder && !folderShown(m, place.User)) return -ENOENT;
    for (const File &f : filesOf(m.Volume, place.User)) names.push_back(cli_MountHostName(f.Name));
    return 0;
}

int cli_MountOpen(cli_MountVolume &m, const std::string &path, bool write) {
    Place place;
    File file;
    if (int err = existingFile(m, path, place, file); err != 0) return err;
    if (write && m.ReadOnly) return -EROFS;
    if (write && readOnlyFile(m.Volume, file.Entry)) return -EACCES;
    return 0;
}

// The file's bytes, as long as its size; kept until the volume changes.
static const Text &fileData(cli_MountVolume &m, int user, const Text &name) {
    if (m.CachedGeneration != m.Generation || m.CachedUser != user || !(m.CachedName == name)) {
        cpm_FileData data = cpm_LoadFile(m.Volume, name, user);
        data.Data.Elements.resize(size_t(std::max(0LL, data.Size)));
        m.CachedData = std::move(data.Data);
        m.CachedGeneration = m.Generation;
        m.CachedUser = user;
        m.CachedName = name;
    }
    return m.CachedData;
}

long cli_MountRead(cli_MountVolume &m, const std::string &path, char *buffer, size_t size, long long offset) {
    Place place;
    File file;
    if (int err = existingFile(m, path, place, file); err != 0) return err;
    const Text &data = fileData(m, place.User, file.Name);
    if (offset < 0) return -EINVAL;
    if (offset >= (long long)data.size()) return 0;
    size_t n = std::min(size, data.size() - size_t(offset));
    memcpy(buffer, data.data() + offset, n);
    return long(n);
}

// --- changing ------------------------------------------------------------------------

// The errno of an engine message.
static int errorOf(const cpm_Volume &v, const std::string &message) {
    if (message == "Directory full." || message == "Not enough free space on volume.") return -ENOSPC;
    if (message == cpm_FileExistsMessage) return -EEXIST;
    if (message == cpm_InvalidNameMessage) return -EINVAL;
    if (!v.Refusal.empty() && message == v.Refusal) return -EROFS;
    return -EIO;
}

static void changed(cli_MountVolume &m, cpm_Volume v) {
    m.Volume = std::move(v);
    m.Changed = true;
    m.Generation++;
}

// The volume without the file's entries (erased, as rm erases them).
static cpm_Volume withoutFile(cpm_Volume v, int user, const Text &name) {
    int present = cpm_PresentEntries(v);
    for (int i = 0; i < present; i++) {
        const uint8_t *e = cpm_EntryBytes(v, i);
        if (e[0] == user && cpm_NameIs(e, name, false))
            v = cpm_SetFileUser(std::move(v), Text("#" + std::to_string(i)), cpm_ErasedUser, user).Volume;
    }
    return v;
}

// A name the engine's writer stores unchanged.
static bool plainName(const Text &name) { return cpm_MakeName(name) == name; }

// The file of the name replaced by (or made of) the data, as put --force
// replaces one: erased entries of the name give way, the create stamp and
// the system attribute stay.
static int storeFile(cli_MountVolume &m, int user, const Text &name, const Text &data) {
    if (m.ReadOnly) return -EROFS;
    const cpm_Volume &v = m.Volume;
    File old = findFile(v, user, cli_MountHostName(name));
    uint8_t keep = old.Entry >= 0 && cpm_NameIs(cpm_EntryBytes(v, old.Entry), name, false)
                       ? uint8_t(cpm_EntryAttributes(v, old.Entry) & cpm_SystemBit) : 0;
    cpm_Stamp created = cpm_CreateStampOf(v, name, user);
    // A stored name the writer would convert ("A/B", small letters) is
    // written under a name of its own and then given its bytes.
    static const Text scratch("MOUNT$$$.$$$");
    bool plain = plainName(name);
    cpm_Volume target = plain ? cpm_FreeName(v, name, user) : withoutFile(v, user, name);
    if (!plain) target = cpm_FreeName(std::move(target), scratch, user);
    cpm_SaveFileResult r = cpm_SaveFile(std::move(target), plain ? name : scratch, data, user);
    if (!r.Message.empty()) return errorOf(v, r.Message);
    cpm_Volume after = std::move(r.Volume);
    if (!plain) {
        cpm_RenameResult moved = cpm_RenameFile(std::move(after), scratch, user, name, user);
        if (!moved.Message.empty()) return errorOf(v, moved.Message);
        after = std::move(moved.Volume);
    }
    cpm_KeepCreateStamp(after, name, user, created);
    if (keep) {
        std::vector<int> entries;
        int present = cpm_PresentEntries(after);
        for (int i = 0; i < present; i++)
            if (cpm_EntryBytes(after, i)[0] == user && cpm_NameIs(cpm_EntryBytes(after, i), name, false))
                entries.push_back(i);
        after = cpm_SetAttributes(std::move(after), entries, keep, 0).Volume;
    }
    changed(m, std::move(after));
    return 0;
}

// The place as a file that may be changed: existing, writable.
static int writableFile(cli_MountVolume &m, const std::string &path, Place &place, File &file) {
    if (int err = existingFile(m, path, place, file); err != 0) return err;
    if (m.ReadOnly) return -EROFS;
    if (readOnlyFile(m.Volume, file.Entry)) return -EACCES;
    return 0;
}

long cli_MountWrite(cli_MountVolume &m, const std::string &path, const char *bytes, size_t size, long long offset) {
    Place place;
    File file;
    if (int err = writableFile(m, path, place, file); err != 0) return err;
    if (offset < 0) return -EINVAL;
    Text data = fileData(m, place.User, file.Name);
    if ((long long)data.size() < offset + (long long)size) data.Elements.resize(size_t(offset) + size);
    memcpy(data.data() + offset, bytes, size);
    if (int err = storeFile(m, place.User, file.Name, data); err != 0) return err;
    return long(size);
}

int cli_MountTruncate(cli_MountVolume &m, const std::string &path, long long size) {
    Place place;
    File file;
    if (int err = writableFile(m, path, place, file); err != 0) return err;
    if (size < 0) return -EINVAL;
    Text data = fileData(m, place.User, file.Name);
    if ((long long)data.size() == size) return 0;
    data.Elements.resize(size_t(size));
    return storeFile(m, place.User, file.Name, data);
}

// The place of a new name: its user folder (made when missing) and the
// name in CP/M form.
static int newName(cli_MountVolume &m, const std::string &path, Place &place, Text &name) {
    if (int err = placeOf(m, path, place); err != 0) return err;
    if (place.What != Kind::File) return -EEXIST;
    if (m.AllUsers && !folderShown(m, place.User)) return -ENOENT;
    if (int err = cli_MountCpmName(place.Name, name); err != 0) return -err;
    return m.ReadOnly ? -EROFS : 0;
}

int cli_MountCreate(cli_MountVolume &m, const std::string &path) {
    Place place;
    File file;
    if (existingFile(m, path, place, file) == 0) return m.ReadOnly ? -EROFS : -EEXIST;
    Text name;
    if (int err = newName(m, path, place, name); err != 0) return err;
    return storeFile(m, place.User, name, Text());
}

int cli_MountUnlink(cli_MountVolume &m, const std::string &path) {
    Place place;
    File file;
    if (int err = writableFile(m, path, place, file); err != 0) return err;
    changed(m, withoutFile(m.Volume, place.User, file.Name));
    return 0;
}

int cli_MountRename(cli_MountVolume &m, const std::string &from, const std::string &to, bool noReplace) {
    Place source, target;
    File file, there;
    if (int err = placeOf(m, from, source); err != 0) return err;
    if (source.What != Kind::File) return m.ReadOnly ? -EROFS : -EINVAL;   // user folders stay where they are
    if (int err = writableFile(m, from, source, file); err != 0) return err;
    Text name;
    if (int err = newName(m, to, target, name); err != 0) return err;
    cpm_Volume v = m.Volume;
    there = findFile(v, target.User, target.Name);
    if (there.Entry >= 0 && there.Entry == file.Entry) {
        // The same file: only the case of its name changes, or nothing.
        if (cli_MountHostName(file.Name) == target.Name || !plainName(name)) return 0;
    } else if (there.Entry >= 0) {
        if (noReplace) return -EEXIST;
        if (readOnlyFile(v, there.Entry)) return -EACCES;
        v = withoutFile(std::move(v), target.User, there.Name);
    }
    // A target that exists is replaced under its stored name.
    if (there.Entry >= 0 && there.Entry != file.Entry) name = there.Name;
    cpm_RenameResult r = cpm_RenameFile(std::move(v), file.Name, source.User, name, target.User);
    if (!r.Message.empty()) return errorOf(m.Volume, r.Message);
    changed(m, std::move(r.Volume));
    return 0;
}

static std::vector<int> entriesOf(const cpm_Volume &v, int user, const Text &name) {
    std::vector<int> entries;
    int present = cpm_PresentEntries(v);
    for (int i = 0; i < present; i++)
        if (cpm_EntryBytes(v, i)[0] == user && cpm_NameIs(cpm_EntryBytes(v, i), name, false)) entries.push_back(i);
    return entries;
}

// Sets and clears attribute bits of a file.
static int setBits(cli_MountVolume &m, const Place &place, const File &file, uint8_t set, uint8_t clear) {
    if (m.ReadOnly) return -EROFS;
    uint8_t now = cpm_EntryAttributes(m.Volume, file.Entry);
    if (((now | set) & uint8_t(~clear)) == now) return 0;
    cpm_SetAttributesResult r = cpm_SetAttributes(m.Volume, entriesOf(m.Volume, place.User, file.Name), set, clear);
    if (!r.Message.empty()) return errorOf(m.Volume, r.Message);
    changed(m, std::move(r.Volume));
    return 0;
}

int cli_MountChmod(cli_MountVolume &m, const std::string &path, unsigned mode) {
    Place place;
    File file;
    int err = existingFile(m, path, place, file);
    if (err == -EISDIR) return m.ReadOnly ? -EROFS : 0;   // folders keep their mode
    if (err != 0) return err;
    bool readOnly = (mode & 0222) == 0;
    return setBits(m, place, file, readOnly ? cpm_ReadOnlyBit : 0, readOnly ? 0 : cpm_ReadOnlyBit);
}

int cli_MountMkdir(cli_MountVolume &m, const std::string &path) {
    Place place;
    if (!m.AllUsers) return m.ReadOnly ? -EROFS : -EPERM;
    if (placeOf(m, path, place) != 0) return -EINVAL;
    if (place.What != Kind::Folder) return place.What == Kind::Root ? -EEXIST : -EINVAL;
    if (folderShown(m, place.User)) return -EEXIST;
    if (m.ReadOnly) return -EROFS;
    m.MadeUsers.insert(place.User);
    return 0;
}

int cli_MountRmdir(cli_MountVolume &m, const std::string &path) {
    Place place;
    if (int err = placeOf(m, path, place); err != 0) return err;
    if (place.What == Kind::File) return -ENOTDIR;
    if (place.What == Kind::Root) return -EBUSY;
    if (!folderShown(m, place.User)) return -ENOENT;
    if (!filesOf(m.Volume, place.User).empty()) return -ENOTEMPTY;
    if (m.ReadOnly) return -EROFS;
    m.MadeUsers.erase(place.User);
    return 0;
}

int cli_MountStatfs(cli_MountVolume &m, struct statvfs &st) {
    const cpm_Volume &v = m.Volume;
    st = {};
    st.f_bsize = st.f_frsize = (unsigned long)std::max(1, v.Geometry.BlockSize);
    st.f_blocks = (unsigned long)cpm_BlockCount(v);
    long long used = std::count(v.BlockMap.begin(), v.BlockMap.end(), uint8_t(1));
    st.f_bfree = st.f_bavail = (unsigned long)std::max(0LL, (long long)st.f_blocks - used);
    int present = cpm_PresentEntries(v), unused = 0;
    for (int i = 0; i < present; i++) unused += cpm_EntryBytes(v, i)[0] == cpm_ErasedUser;
    st.f_files = (unsigned long)present;
    st.f_ffree = st.f_favail = (unsigned long)unused;
    st.f_namemax = 12;
    if (m.ReadOnly) st.f_flag |= ST_RDONLY;
    return 0;
}

// --- extended attributes -----------------------------------------------------------

static const char *const attributePrefix = "user.cpm.";

// The attributes of a file, or of the root (the label), as name and value.
static int xattrsOf(cli_MountVolume &m, const std::string &path, std::vector<std::pair<std::string, std::string>> &out) {
    Place place;
    if (int err = placeOf(m, path, place); err != 0) return err;
    out.clear();
    std::string p = attributePrefix;
    if (place.What == Kind::Root) {
        cpm_Label label = cpm_LabelOf(m.Volume);
        if (label.Found) out.push_back({p + "label", cpm_LabelName(label)});
        return 0;
    }
    if (place.What == Kind::Folder) {
        if (!folderShown(m, place.User)) return -ENOENT;
        out.push_back({p + "user", std::to_string(place.User)});
        return 0;
    }
    File file = findFile(m.Volume, place.User, place.Name);
    if (file.Entry < 0) return -ENOENT;
    uint8_t bits = cpm_EntryAttributes(m.Volume, file.Entry);
    out.push_back({p + "system", bits & cpm_SystemBit ? "1" : "0"});
    out.push_back({p + "archive", bits & cpm_ArchivedBit ? "1" : "0"});
    out.push_back({p + "user", std::to_string(place.User)});
    out.push_back({p + "extents", std::to_string(entriesOf(m.Volume, place.User, file.Name).size())});
    cpm_FileStamps stamps = cpm_StampsOf(m.Volume, file.Entry);
    bool access = cpm_StampRulesOf(m.Volume).First == cpm_FirstStamp::Access;
    if (cpm_HasStamp(stamps.First)) out.push_back({p + (access ? "accessed" : "created"), cpm_StampIso(stamps.First)});
    if (cpm_HasStamp(stamps.Updated)) out.push_back({p + "updated", cpm_StampIso(stamps.Updated)});
    return 0;
}

int cli_MountListXattr(cli_MountVolume &m, const std::string &path, std::vector<std::string> &names) {
    std::vector<std::pair<std::string, std::string>> all;
    if (int err = xattrsOf(m, path, all); err != 0) return err;
    names.clear();
    for (const auto &a : all) names.push_back(a.first);
    return 0;
}

int cli_MountGetXattr(cli_MountVolume &m, const std::string &path, const std::string &name, std::string &value) {
    std::vector<std::pair<std::string, std::string>> all;
    if (int err = xattrsOf(m, path, all); err != 0) return err;
    for (const auto &a : all)
        if (a.first == name) {
            value = a.second;
            return 0;
        }
    return -ENODATA;
}

int cli_MountSetXattr(cli_MountVolume &m, const std::string &path, const std::string &name, const std::string &value) {
    Place place;
    if (int err = placeOf(m, path, place); err != 0) return err;
    std::string p = attributePrefix;
    if (place.What == Kind::Root && name == p + "label") {
        if (m.ReadOnly) return -EROFS;
        cpm_LabelChange change;
        change.SetName = true;
        change.Name = Text(value);
        cpm_LabelResult r = cpm_SetLabel(m.Volume, change);
        if (!r.Message.empty()) return errorOf(m.Volume, r.Message);
        changed(m, std::move(r.Volume));
        return 0;
    }
    uint8_t bit = name == p + "system" ? cpm_SystemBit : name == p + "archive" ? cpm_ArchivedBit : 0;
    if (place.What != Kind::File || bit == 0) return name.rfind(p, 0) == 0 ? -EPERM : -ENOTSUP;
    File file;
    if (int err = existingFile(m, path, place, file); err != 0) return err;
    if (value != "0" && value != "1") return -EINVAL;
    return setBits(m, place, file, value == "1" ? bit : 0, value == "1" ? 0 : bit);
}

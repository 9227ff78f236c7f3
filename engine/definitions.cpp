// The library of every known disk definition (built in, the system's
// diskdefs, the user's, the one given on the command line) and the choice
// of definition remembered per image file.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "definitions.h"
#include "layout.h"
#include "entries.h"
#include "files.h"

// The formats of the volume record, as definitions -f can name; the Apple II
// formats keep their re-sectoring and the plain volume its size from the file.
static std::vector<cpm_Definition> formatDefinitions() {
    struct Row {
        const char *Name;
        cpm_Format Format;
        cpm_Order Order;
    };
    static const Row rows[] = {
        {"plain", cpm_Format::Plain, cpm_Order::AsStored},
        {"apple2-do", cpm_Format::Apple140K, cpm_Order::Dos},
        {"apple2-po", cpm_Format::Apple140K, cpm_Order::ProDos},
        {"apple2-800k", cpm_Format::Apple800K, cpm_Order::Interleave800},
        {"apple2-800k-po", cpm_Format::Apple800K, cpm_Order::ProDosBlocks},
    };
    std::vector<cpm_Definition> out;
    for (const Row &r : rows) {
        cpm_Definition d;
        d.Name = r.Name;
        d.Source = "built-in";
        d.Geometry = cpm_GeometryOf(r.Format);
        d.Geometry.Order = r.Order;
        out.push_back(d);
    }
    return out;
}

// Well-known disks, described from their published disk parameters.
static const char *const builtInDiskdefs = R"(# IBM 3740: 8" single sided, single density, the standard CP/M distribution disk
diskdef ibm-3740
  seclen 128
  tracks 77
  sectrk 26
  blocksize 1024
  maxdir 64
  skew 6
  boottrk 2
  os 2.2
end

# Kaypro II: 5.25" single sided, double density; four directory blocks
diskdef kpii
  seclen 512
  tracks 40
  sectrk 10
  blocksize 1024
  maxdir 64
  dirblks 4
  boottrk 1
  os 2.2
end

# Kaypro 4: 5.25" double sided, double density
diskdef kpiv
  seclen 512
  tracks 80
  sectrk 10
  blocksize 2048
  maxdir 64
  dirblks 2
  boottrk 1
  os 2.2
end

# Amstrad CPC system format: 3" single sided, sectors 0x41-0x49, two reserved tracks
diskdef cpcsys
  seclen 512
  tracks 40
  sectrk 9
  blocksize 1024
  maxdir 64
  boottrk 2
  os 3
  firstid 65
  libdsk:format cpcsys
end

# Amstrad CPC data format: sectors 0xC1-0xC9, no reserved tracks
diskdef cpcdata
  seclen 512
  tracks 40
  sectrk 9
  blocksize 1024
  maxdir 64
  boottrk 0
  os 3
  firstid 193
  libdsk:format cpcdata
end

# Amstrad CPC IBM format: eight sectors 1-8, one reserved track
diskdef cpcibm
  seclen 512
  tracks 40
  sectrk 8
  blocksize 1024
  maxdir 64
  boottrk 1
  os 3
  firstid 1
end

# Amstrad PCW 180K: 3" single sided, sectors 1-9, one reserved track
diskdef pcw
  seclen 512
  tracks 40
  sectrk 9
  blocksize 1024
  maxdir 64
  boottrk 1
  os 3
  firstid 1
  libdsk:format pcw180
end

# Amstrad PCW 720K: 3.5" double sided, sides in turn
diskdef pcw720
  seclen 512
  tracks 160
  sectrk 9
  blocksize 2048
  maxdir 256
  boottrk 1
  os 3
  sides alt
  firstid 1
  libdsk:format pcw720
end

# Spectrum +3: the PCW 180K format
diskdef plus3
  seclen 512
  tracks 40
  sectrk 9
  blocksize 1024
  maxdir 64
  boottrk 1
  os 3
  firstid 1
end

# Hard-disk slices of memory cards (CompactFlash, SD) of Z80 boards: 8 MB
# CP/M volumes one after another.  hd512: 8,519,680 bytes each from the start
# of the image; hd1k: exactly 8 MB each, in a partition of type 0x2E.
diskdef hd512
  seclen 512
  tracks 1040
  sectrk 16
  blocksize 4096
  maxdir 512
  skew 0
  boottrk 16
  os 2.2
  slices 8192
end

diskdef hd1k
  seclen 512
  tracks 1024
  sectrk 16
  blocksize 4096
  maxdir 1024
  skew 0
  boottrk 2
  os 2.2
  slices 8192
end
)";

std::vector<cpm_Definition> cpm_BuiltInDefinitions() {
    static const std::vector<cpm_Definition> builtIn = [] {
        std::vector<cpm_Definition> out = formatDefinitions();
        for (cpm_Definition &d : cpm_ParseDiskdefs(builtInDiskdefs, "built-in", true).Definitions) out.push_back(std::move(d));
        return out;
    }();
    return builtIn;
}

static std::vector<cpm_Definition> &library() {
    static std::vector<cpm_Definition> known = cpm_BuiltInDefinitions();
    return known;
}

const std::vector<cpm_Definition> &cpm_Library() { return library(); }

// Adds definitions; a later one replaces an earlier one of the same name.
static void merge(std::vector<cpm_Definition> &into, std::vector<cpm_Definition> more) {
    std::unordered_map<std::string, size_t> byName;
    for (size_t i = 0; i < into.size(); i++) byName[into[i].Name] = i;
    for (cpm_Definition &d : more) {
        auto same = byName.find(d.Name);
        if (same != byName.end()) {
            into[same->second] = std::move(d);
        } else {
            byName[d.Name] = into.size();
            into.push_back(std::move(d));
        }
    }
}

// True when both geometries put every byte of the data area at the same
// place in the file (sectors are whole records, so checking each record's
// first byte is enough).
static bool sameLayout(const cpm_Geometry &a, const cpm_Geometry &b) {
    long long bytes = cpm_GeometryBytes(a);
    if (bytes != cpm_GeometryBytes(b) || a.DataStart != b.DataStart || a.BlockSize != b.BlockSize ||
        a.DirBlocks != b.DirBlocks || a.DirEntries != b.DirEntries || cpm_DataKB(a, size_t(bytes)) != cpm_DataKB(b, size_t(bytes)))
        return false;
    cpm_Layout la = cpm_LayoutOf(a), lb = cpm_LayoutOf(b);
    for (size_t x = size_t(a.DataStart); x < size_t(bytes); x += cpm_RecordSize)
        if (cpm_RawOffset(la, size_t(bytes), x) != cpm_RawOffset(lb, size_t(bytes), x)) return false;
    return true;
}

// Marks the definitions that read exactly like a built-in format.
static void markSameLayouts(std::vector<cpm_Definition> &known) {
    for (cpm_Definition &d : known) {
        d.SameAs.clear();
        if (d.Geometry.Format != cpm_Format::Defined) continue;
        for (const cpm_Definition &b : known)
            if (b.Geometry.Format != cpm_Format::Defined && b.Geometry.Format != cpm_Format::Plain &&
                sameLayout(d.Geometry, b.Geometry)) {
                d.SameAs = b.Name;
                break;
            }
    }
}

// What the library was last read from, so that a filtered one can be
// widened, and the skipped lines of the system file already said.
namespace {
struct Sources {
    std::string System, User, Extra;
    cpm_DiskdefsFilter Filter;
    std::set<std::string> Said;
};
Sources &sources() {
    static Sources s;
    return s;
}
}  // namespace

static std::string load(const std::string &systemFile, const std::string &userFile, const std::string &extraFile,
                        const cpm_DiskdefsFilter &systemFilter) {
    std::vector<cpm_Definition> known = cpm_BuiltInDefinitions();
    if (!systemFile.empty() && t_FileExists(systemFile) == 1) {
        cpm_DiskdefsReading system = cpm_ParseDiskdefs(gettextfromfile(systemFile).bytes(), systemFile, false, systemFilter);
        for (const std::string &line : system.Skipped)
            if (sources().Said.insert(line).second) cpm_Diag("cpm_LoadLibrary: " + line);
        merge(known, std::move(system.Definitions));
    }
    for (const std::string &file : {userFile, extraFile}) {
        if (file.empty() || (file == userFile && t_FileExists(file) != 1)) continue;
        if (t_FileExists(file) != 1) return file + ": no such file";
        cpm_DiskdefsReading own = cpm_ParseDiskdefs(gettextfromfile(file).bytes(), file, true);
        if (!own.Error.empty()) return own.Error;
        merge(known, std::move(own.Definitions));
    }
    markSameLayouts(known);
    library() = std::move(known);
    sources().System = systemFile;
    sources().User = userFile;
    sources().Extra = extraFile;
    sources().Filter = systemFilter;
    return "";
}

std::string cpm_LoadLibrary(const std::string &systemFile, const std::string &userFile, const std::string &extraFile,
                            const cpm_DiskdefsFilter &systemFilter) {
    sources().Said.clear();
    return load(systemFile, userFile, extraFile, systemFilter);
}

void cpm_WidenLibrary() {
    const Sources &s = sources();
    if (s.Filter.All) return;
    load(s.System, s.User, s.Extra, cpm_DiskdefsFilter());
}

// "~/.config/diskwright/" (XDG_CONFIG_HOME in place of ~/.config when set).
static std::string configFolder() {
    const char *xdg = getenv("XDG_CONFIG_HOME");
    const char *home = getenv("HOME");
    std::string base = xdg && *xdg ? xdg : std::string(home ? home : "") + "/.config";
    return base + "/diskwright/";
}

std::string cpm_UserDiskdefs() { return configFolder() + "diskdefs"; }

const cpm_Definition *cpm_FindDefinition(const std::string &name) {
    for (const cpm_Definition &d : library())
        if (d.Name == name) return &d;
    return nullptr;
}

std::vector<const cpm_Definition *> cpm_DefinitionsForSize(size_t imageBytes) {
    std::vector<const cpm_Definition *> out;
    for (const cpm_Definition &d : library()) {
        long long bytes = cpm_GeometryBytes(d.Geometry);
        if (bytes == 0 || bytes == (long long)imageBytes) out.push_back(&d);
    }
    return out;
}

// The lines of the formats file other than the one of `path`, and that one's name.
static std::vector<std::string> rememberedLines(const std::string &path, std::string &name) {
    std::vector<std::string> kept;
    std::string file = configFolder() + "formats";
    if (t_FileExists(file) != 1) return kept;
    std::stringstream in(gettextfromfile(file).bytes());
    std::string line;
    while (std::getline(in, line)) {
        size_t tab = line.rfind('\t');
        if (tab != std::string::npos && line.substr(0, tab) == path) name = line.substr(tab + 1);
        else if (!line.empty()) kept.push_back(line);
    }
    return kept;
}

static std::string absolute(const std::string &path) {
    std::error_code error;
    std::filesystem::path p = std::filesystem::absolute(path, error);
    return error ? path : p.lexically_normal().string();
}

std::string cpm_RememberedFormat(const std::string &path) {
    std::string name;
    rememberedLines(absolute(path), name);
    return name;
}

std::string cpm_RememberFormat(const std::string &path, const std::string &name) {
    std::string old, key = absolute(path);
    std::vector<std::string> lines = rememberedLines(key, old);
    if (!name.empty()) lines.push_back(key + "\t" + name);
    std::string text;
    for (const std::string &line : lines) text += line + "\n";
    std::error_code error;
    std::filesystem::create_directories(configFolder(), error);
    int err = t_WriteFile(configFolder() + "formats", Text(text), t_WriteImage);
    return err == 0 ? "" : t_ErrorText(err);
}

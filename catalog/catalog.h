// The host file catalogue: one record per host item, the global list that a
// folder is read into, and the display line of an item.
//
// Plain C++ over POSIX: no toolkit window is touched here.  The browser reads
// the globals after each load.  Host strings are UTF-8; names are kept as the
// raw bytes the file system gives, so Path + Name always names the item again.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_types.h"
#include "folders.h"

using f_Date = std::chrono::system_clock::time_point;

// One host file system item.  A fresh item has empty strings, 0, false and
// the current date and time in both date fields.
struct f_CatItem {
    std::string Name;          // last path component
    std::string Path;          // the folder that holds the item, ending in "/"
    std::string Kind;          // the host's type name, e.g. "NSFileTypeRegular"
    int KindNum = 0;           // f_KindRegular ... f_KindBlockDevice, 0 anything else
    int64_t Size = 0;          // bytes, as the host reports them
    std::string FileType;      // four-character type code
    std::string FileCreator;   // four-character creator code, "----" but for regular files
    bool ExtHidden = false;    // the host hides the name's extension
    f_Date Created = std::chrono::system_clock::now();
    std::string CreatedStr;    // "dd.MM.yyyy HH:mm:ss"
    f_Date Modified = std::chrono::system_clock::now();
    std::string ModifiedStr;   // "dd.MM.yyyy HH:mm:ss"
    bool ReadOnly = false;     // the immutable attribute is set
    bool Invisible = false;    // f_IsInvisible(Name)
    bool Alias = false;        // FileType is "fdrp" or "SYM "
};

// Values of f_CatItem::KindNum.
enum : int {
    f_KindOther = 0,
    f_KindRegular = 1,
    f_KindFolder = 2,
    f_KindSymLink = 3,
    f_KindSocket = 4,
    f_KindCharDevice = 5,
    f_KindBlockDevice = 6,
};

// Values of f_CatStatus.
enum : int {
    f_StatusNone = 0,
    f_StatusLoaded = 1,
    f_StatusListFailed = -1,
    f_StatusNoFolder = -2,
};

// The catalogue globals, owned by the program thread.  The caller empties
// f_CatList before a load; the others describe the last successful load.
extern std::vector<f_CatItem> f_CatList;
extern int f_CatStatus;
extern int f_CatCount;
extern std::string f_CatPath;
extern std::string f_CatFilter;

// Appends the readable items of the folder (a path ending in "/") to
// f_CatList in name order and sets the other globals.  In the mount folder
// only folders and links are listed, whatever the options.
void f_CatLoad(std::string_view folder, bool recursive, bool withInvisible, bool withAliases,
               std::string_view filter);

// The attributes of one item, read without following a symbolic link.
f_CatItem f_FileAttributes(std::string_view path);

// Names the catalogue hides unless invisible items are asked for.
bool f_IsInvisible(std::string_view name);

// The text after the last full stop of the name, empty when there is none.
std::string f_Extension(std::string_view name);

// Sorts in place: ascending by the lower-cased names.
void f_SortNames(std::vector<std::string> &names);

// "dd.MM.yyyy HH:mm:ss" in local time.
std::string f_DateStr(f_Date date);

// The size with a three-character unit: "1023 B ", "1 KB", "1 MB" ...
std::string f_SizeStr(int64_t bytes);

// The item's display line for a browser of 80, 60 (any other width) or 40
// columns, in the toolkit character set.
std::string f_CatStr(const f_CatItem &item, int width);

// Toolkit glyphs used in display lines.
enum : char32_t {
    f_GlyphLocked = 0x80,       // the item is immutable
    f_GlyphVolumeLeft = 0x81,   // left half of the volume sign
    f_GlyphFolderLeft = 0x82,   // left half of the folder sign
    f_GlyphSignMiddle = 0x83,
    f_GlyphSignRight = 0x84,
    f_GlyphMissing = 0x7F,      // stands for a character the screen must not get
};

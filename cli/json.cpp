// The JSON documents of info, ls and check --json: one object each, keys in
// a fixed order, numbers as integers, names as the listing shows them.
#include <algorithm>
#include <cstdio>

#include "check.h"
#include "cli.h"
#include "codecs.h"
#include "directory.h"
#include "entries.h"
#include "label.h"
#include "listing.h"
#include "passwords.h"
#include "patterns.h"
#include "read.h"
#include "sector_orders.h"
#include "shape.h"
#include "user_areas.h"

std::string cli_JsonString(const std::string &text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c < 0x20 || c == 0x7F) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04X", c);
            out += esc;
        } else {
            out += char(c);   // UTF-8 passes as it is
        }
    }
    return out + "\"";
}

namespace {

// One object's members, written in the order they are added.
struct Members {
    std::string Text;
    Members &add(const char *key, const std::string &raw) {
        Text += (Text.empty() ? "" : ", ") + cli_JsonString(key) + ": " + raw;
        return *this;
    }
    Members &str(const char *key, const std::string &value) { return add(key, cli_JsonString(value)); }
    Members &num(const char *key, long long value) { return add(key, std::to_string(value)); }
    Members &flag(const char *key, bool value) { return add(key, value ? "true" : "false"); }
    Members &strings(const char *key, const std::vector<std::string> &values) {
        std::string list;
        for (const std::string &v : values) list += (list.empty() ? "" : ",") + cli_JsonString(v);
        return add(key, "[" + list + "]");
    }
    std::string object() const { return "{" + Text + "}"; }
};

template <typename T, typename F> std::string array(const std::vector<T> &items, F each, const char *separator = ", ") {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); i++) out += (i ? separator : "") + each(items[i]);
    return out + "]";
}

std::string numbers(const std::vector<int> &values) {
    return array(values, [](int n) { return std::to_string(n); });
}

// The facts of the volume every document starts with.
Members volumeFacts(const cpm_Volume &v) {
    Members m;
    m.str("image", v.Path).str("format", v.Geometry.Name).str("definition", v.Definition);
    m.num("volumeKB", v.VolumeKB).num("usedKB", v.UsedKB).num("freeKB", (long long)v.VolumeKB - v.UsedKB);
    return m;
}

bool hasLetter(const Text &letters, char c) {
    return std::find(letters.Elements.begin(), letters.Elements.end(), uint8_t(c)) != letters.Elements.end();
}

// A stamp as an ISO 8601 local time without an offset, or null.
std::string stampValue(const cpm_Stamp &stamp) {
    return cpm_HasStamp(stamp) ? cli_JsonString(cpm_StampIso(stamp)) : "null";
}

// On a stamped disk the file's dates ("created" or "accessed", and
// "updated"); with passwords on, its protection ("R", "W", "D" or "").
void addStampsAndProtection(Members &m, const cpm_Volume &v, int entry, const Text &name) {
    if (cpm_StampRulesOf(v).Stamped) {
        cpm_FileStamps stamps = cpm_StampsOf(v, entry);
        m.add(cpm_StampRulesOf(v).First == cpm_FirstStamp::Access ? "accessed" : "created", stampValue(stamps.First));
        m.add("updated", stampValue(stamps.Updated));
    }
    if (cpm_PasswordsOn(v)) {
        char protection = cpm_ProtectionOf(v, name, cpm_EntryUser(v, entry));
        m.str("protection", protection ? std::string(1, protection) : "");
    }
}

// The label: its name, flags and dates.
std::string labelObject(const cpm_Volume &v) {
    cpm_Label label = cpm_LabelOf(v);
    if (!label.Found) return "null";
    Members m;
    m.str("name", cpm_LabelName(label)).str("flags", cpm_LabelFlagsText(label.Flags));
    m.flag("passwords", label.Flags & cpm_PasswordsBit).flag("createStamps", label.Flags & cpm_CreateStampsBit);
    m.flag("accessStamps", label.Flags & cpm_AccessStampsBit).flag("updateStamps", label.Flags & cpm_UpdateStampsBit);
    m.add("created", stampValue(label.Created)).add("updated", stampValue(label.Updated));
    return m.object();
}

}  // namespace

std::string cli_InfoJson(const cpm_Volume &v) {
    Members m = volumeFacts(v);
    m.str("container", cpm_ContainerName(v.Medium)).str("order", cpm_SectorOrderOf(v.Order).Name);
    // What the container says of the disk: each note "Key: value" as a member.
    Members notes;
    for (const std::string &note : v.Medium.Notes) {
        size_t colon = note.find(": ");
        std::string key = note.substr(0, colon), value = colon == std::string::npos ? "" : note.substr(colon + 2);
        notes.Text += (notes.Text.empty() ? "" : ", ") + cli_JsonString(key) + ": " + cli_JsonString(value);
    }
    m.add("containerNotes", notes.object());
    if (!v.Medium.Sectors.empty()) {
        cpm_Shape shape = cpm_ShapeOf(v.Medium);
        Members sh;
        sh.num("cylinders", shape.Cylinders).num("heads", shape.Heads).num("sectorsPerTrack", shape.SectorsPerTrack);
        sh.num("sectorBytes", shape.SectorBytes).num("firstId", shape.FirstId);
        m.add("shape", sh.object());
        m.add("medium", array(cpm_MediumLines(v.Medium), [](const std::string &l) { return cli_JsonString(l); }));
        std::vector<std::string> bad;
        for (const cpm_Sector &s : v.Medium.Sectors)
            if (s.State == cpm_SectorState::Missing || s.State == cpm_SectorState::DataError) {
                Members b;
                b.num("cylinder", s.Cylinder).num("head", s.Head).num("id", s.Id);
                b.str("state", s.State == cpm_SectorState::Missing ? "missing" : "data error");
                bad.push_back(b.object());
            }
        m.add("unreadableSectors", array(bad, [](const std::string &b) { return b; }));
    }
    m.str("decidedBy", v.Decision).str("refused", v.Refusal);
    if (!v.Medium.Compression.empty()) m.str("opened", v.Medium.Member).strings("images", v.Medium.Members);
    m.num("dataStart", v.Geometry.DataStart).num("blockSize", v.Geometry.BlockSize).num("dirBlocks", v.Geometry.DirBlocks);
    m.num("dirEntries", v.Geometry.DirEntries).num("blocks", cpm_BlockCount(v)).num("blockNumberBits", cpm_WideBlocks(v) ? 16 : 8);
    m.add("label", labelObject(v)).flag("stamped", cpm_StampRulesOf(v).Stamped);
    if (v.SliceCount > 0) m.num("slice", v.Slice).num("slices", v.SliceCount).num("sliceOffset", v.SliceOffset);
    return m.object();
}

std::string cli_ListingJson(const cpm_Volume &volume, const std::vector<int> &users) {
    std::vector<std::string> files;
    for (int user : users) {
        cpm_Volume v = user == volume.User ? volume : cpm_SelectUser(volume, user);
        for (const cpm_FileMatch &f : cpm_MatchFiles(v, Text("*"))) {
            int main = f.Entries[0];
            long long recorded = v.Sizes[size_t(main)], size = cpm_FileSize(v, main);
            const Text &letters = v.Attributes[size_t(main)];
            std::vector<int> blocks;
            for (int e : f.Entries)
                for (int b : cpm_EntryBlocks(v, e)) blocks.push_back(b);
            Members m;
            m.num("user", cpm_EntryUser(v, main)).str("name", cpm_DisplayString(f.Name));
            m.str("hostName", cpm_HostName(f.Name)).num("size", size).num("sizeK", cpm_BlocksK(v, size));
            m.num("records", (recorded + cpm_RecordSize - 1) / cpm_RecordSize).num("extents", (long long)f.Entries.size());
            m.add("entries", numbers(f.Entries)).str("attributes", letters.bytes());
            m.flag("readOnly", hasLetter(letters, 'R')).flag("system", hasLetter(letters, 'S'));
            m.flag("archived", hasLetter(letters, 'A')).add("blocks", numbers(blocks));
            addStampsAndProtection(m, v, main, f.Name);
            files.push_back(m.object());
        }
    }
    std::string list = array(files, [](const std::string &f) { return f; }, ",\n  ");
    Members m = volumeFacts(volume);
    m.add("files", files.empty() ? "[]" : "[\n  " + list.substr(1, list.size() - 2) + "\n]");
    return m.object();
}

std::string cli_CheckJson(const cpm_Volume &v, const cpm_CheckReport &report) {
    std::string findings = array(report.Findings, [&](const cpm_Finding &f) {
        Members m;
        m.num("entry", f.Entry).str("name", cpm_DisplayString(cpm_EntryName(v, f.Entry)));
        m.str("kind", cpm_FindingName(f.Kind)).str("message", f.Message).add("blocks", numbers(f.Blocks));
        if (f.Other >= 0) m.num("other", f.Other);
        return m.object();
    });
    Members m = volumeFacts(v);
    m.num("entries", report.Entries).num("files", report.Files).num("problems", (long long)report.Findings.size());
    m.add("findings", findings);
    return m.object();
}

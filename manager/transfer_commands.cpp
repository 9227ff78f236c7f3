// M(ac --> CP/M and T(ransfer CP/M --> Mac: copying files between the host
// and the open volume.
#include "commands.h"

#include <cerrno>
#include <unistd.h>

#include "browser.h"
#include "catalog.h"
#include "directory.h"
#include "display.h"
#include "files.h"
#include "host_batch.h"
#include "line_input.h"
#include "listing.h"
#include "read.h"
#include "text.h"
#include "volume_file.h"
#include "volume_state.h"
#include "windows.h"
#include "write.h"

// Browser height for the transfers: the window's text lines less ten.
static int listHeight(uint8_t w) { return t_WindowPos(w, t_PosTextHeight) - 10; }

// Stores one host file on the volume and prints the outcome.  Only a regular
// file is read (a pipe is never waited for), and only once the volume is
// known to take it: a file too big for the volume is refused before reading.
static void storeHostFile(const std::string &path, const Text &name) {
    uint8_t w = cpm_Window();
    Text cpmName = cpm_MakeName(name);
    std::string refusal;
    int fd = -1;
    long long size = 0;
    bool folder = t_FileExists(path) == 2;
    int err = folder ? 0 : t_OpenRegularFile(path, fd, size);
    Text data;
    if (folder) refusal = " could not be saved: Is a folder.";
    else if (err == t_NotRegularFile) refusal = " could not be read: not a regular file.";
    else if (err != 0) refusal = " could not be saved: " + t_ErrorText(err);
    else if (std::string message = cpm_SaveFileRefusal(cpm_CurrentVolume, name, size, cpm_CurrentVolume.User);
             !message.empty()) {
        close(fd);
        refusal = message == cpm_InvalidNameMessage ? ": " + message : " could not be saved: " + message;
        if (message == cpm_InvalidNameMessage) cpmName = name;
    } else if ((err = t_ReadOpenFile(fd, size, data)) != 0) {
        refusal = " could not be saved: " + t_ErrorText(err);
    }
    if (!refusal.empty()) {
        t_Print(w, cpmName);
        t_Print(w, refusal);
        return;
    }
    int user = cpm_CurrentVolume.User;   // M stores into the user area shown
    cpm_SaveFileResult r = cpm_SaveFile(std::move(cpm_CurrentVolume), name, data, user);
    cpm_CurrentVolume = std::move(r.Volume);
    t_Print(w, r.Name);
    if (r.Message.empty()) t_Print(w, " saved on CP/M volume.");
    else t_Print(w, " could not be saved: " + r.Message);
}

void cpm_CommandMacToCpm() {
    uint8_t w = cpm_Window();
    std::string path = f_CatOpen(w, "", "Load CP/M file", "", 5, listHeight(w), 60, 0);
    if (path.empty()) return;
    std::string proposal = cpm_DisplayString(cpm_MakeName(t_StringToText(t_PathFileName(path))));
    t_Vtab(w, 3);
    t_Htab(w, 1);
    t_ClearEndOfWindow(w);
    std::string answer =
        t_InputForm(w, "Please enter filename (* = all files of selected directory): ", proposal, false, 0, 13);
    if (answer.empty()) return;
    if (answer != "*") {
        t_Cr(w);
        storeHostFile(path, t_StringToText(answer));
        t_Cr(w);
        return;
    }
    // Every item of the folder the browser showed, in its order.
    std::vector<f_CatItem> items = f_CatList;
    for (const f_CatItem &item : items) {
        t_Cr(w);
        if (item.KindNum == f_KindFolder) {
            t_Print(w, cpm_MakeName(t_StringToText(item.Name)));
            t_Print(w, " skipped: a folder.");
            continue;
        }
        storeHostFile(item.Path + item.Name, t_StringToText(item.Name));
    }
}

// Prints how writing one CP/M file to the host went (err: what the write
// gave); `shownAs` is the host name when it differs from the one made from
// the CP/M name.  Without `replace`, a name taken meanwhile was skipped.
static void printHostOutcome(int err, const Text &displayName, bool replace, const std::string &shownAs = "") {
    uint8_t w = cpm_Window();
    t_Print(w, displayName);
    if (err == EEXIST && !replace) t_Print(w, " exists: skipped.");
    else if (err != 0) t_Print(w, " could not be saved: " + t_ErrorText(err));
    else if (!shownAs.empty()) t_Print(w, " saved on Mac volume as " + shownAs + ".");
    else t_Print(w, " saved on Mac volume.");
}

// Writes one CP/M file to the host (a temporary file renamed into place,
// never through a link or into a pipe) and prints the outcome.
static void writeHostFile(const std::string &path, const Text &displayName, const Text &data, bool replace) {
    int err = t_WriteFile(path, data, t_WriteHostCopy | (replace ? 0 : t_WriteNoReplace));
    printHostOutcome(err, displayName, replace);
}

// One file of T "*": where it goes on the host.
struct HostCopy {
    cpm_FileData File;
    std::string HostName;    // unique within the copy
    bool Renamed = false;    // HostName differs from the name made from the CP/M name
    bool Exists = false;     // something is at that name in the target folder
    size_t Index = 0;        // in the batch, when written
};

// Asks about host files in the way of T "*": 'R' replace, 'S' skip, 'C' cancel.
static char askAboutExisting(int existing) {
    if (existing == 0) return 'R';
    uint8_t w = cpm_Window();
    t_Cr(w);
    std::string count = std::to_string(existing) + (existing == 1 ? " file exists." : " files exist.");
    char answer = cpm_Ask(count + " R(eplace  S(kip  C(ancel ? ", "RSC");
    t_CursorUp(w);
    return answer;
}

void cpm_CommandCpmToMac() {
    uint8_t w = cpm_Window();
    std::string answer = t_InputForm(w, "Please enter filename (* = all files): ", "", false, 0, 13);
    Text typed = cpm_TypedName(answer);
    t_ClearEndOfWindow(w);
    t_Cr(w);
    if (answer != "*") {
        cpm_FileData file = cpm_LoadFile(cpm_CurrentVolume, typed, cpm_CurrentVolume.User);
        if (!file.Found) {
            t_Print(w, file.Name);
            t_Print(w, " not found.");
            return;
        }
        // A stored name typed as it is may hold a "/": proposed as its host name.
        bool stored = !cpm_StoredName(cpm_CurrentVolume, t_StringToText(answer), cpm_CurrentVolume.User).empty();
        std::string proposal = stored ? cpm_HostName(typed) : t_TextToString(typed);
        std::string target = f_CatSave(w, "", "Save CP/M file", "Save as:", proposal, 5, listHeight(w), 60, 0);
        if (target.empty()) return;
        t_Vtab(w, 5);
        t_Htab(w, 1);
        bool replace = cpm_HostNameTaken(target);
        if (replace && cpm_Ask(t_PathFileName(target) + " exists. Replace it? (Y/N) ", "YN") == 'N') return;
        writeHostFile(target, file.Name, file.Data, replace);
        return;
    }
    std::string target =
        f_CatSave(w, "", "Save multiple CP/M files", "Save as:", "(original names)", 5, listHeight(w), 60, 0);
    if (target.empty()) return;
    std::string folder = t_PathDirectory(target);
    t_Vtab(w, 4);
    const cpm_Volume &volume = cpm_CurrentVolume;
    std::vector<HostCopy> copies;
    std::vector<std::string> used;
    int existing = 0;
    for (size_t i = 0; i < volume.Sizes.size(); i++) {
        if (volume.Sizes[i] < 0) continue;
        HostCopy c;
        c.File = cpm_LoadFile(volume, volume.Names[i], volume.User);   // T copies from the user area shown
        if (c.File.Found) {
            std::string plain = cpm_HostName(c.File.Name);
            c.HostName = cpm_UniqueHostName(plain, used);
            c.Renamed = c.HostName != plain;
            c.Exists = cpm_HostNameTaken(folder + c.HostName);
            existing += c.Exists;
        }
        copies.push_back(std::move(c));
    }
    char choice = askAboutExisting(existing);
    if (choice == 'C') return;
    // Written as one batch, then told file by file in the directory's order.
    t_HostBatch batch;
    for (HostCopy &c : copies) {
        if (!c.File.Found || (c.Exists && choice == 'S')) continue;
        c.Index = t_BatchAdd(batch, folder + c.HostName, c.File.Data, t_WriteHostCopy | (choice == 'R' ? 0 : t_WriteNoReplace));
        c.File.Data = Text();
    }
    t_BatchFinish(batch);
    for (const HostCopy &c : copies) {
        t_Cr(w);
        if (!c.File.Found) {
            t_Print(w, c.File.Name);
            t_Print(w, " not found.");
        } else if (c.Exists && choice == 'S') {
            t_Print(w, c.File.Name);
            t_Print(w, " exists: skipped.");
        } else {
            printHostOutcome(batch.Files[c.Index].Result, c.File.Name, choice == 'R', c.Renamed ? c.HostName : "");
        }
    }
}

// M(ac --> CP/M and T(ransfer CP/M --> Mac: copying files between the host
// and the open volume.
#include "commands.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "browser.h"
#include "catalog.h"
#include "display.h"
#include "files.h"
#include "line_input.h"
#include "screen_text.h"
#include "text.h"
#include "volume_state.h"
#include "windows.h"

// Browser height for the transfers: the window's text lines less ten.
static int listHeight(uint8_t w) { return t_WindowPos(w, t_PosTextHeight) - 10; }

// Reads a whole host file; the error text when it cannot be read (a missing
// or unreadable file, or a folder) instead of taking it for an empty file.
static std::string readHostFile(const std::string &path, Text &data) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return t_ErrorText(errno);
    if (S_ISDIR(st.st_mode)) return "Is a folder.";
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return t_ErrorText(errno);
    close(fd);
    data = gettextfromfile(path);
    if (data.empty() && st.st_size > 0) return "Could not be read.";
    return "";
}

// Stores one host file on the volume and prints the outcome.
static void storeHostFile(const std::string &path, const Text &name) {
    uint8_t w = cpm_Window();
    Text data;
    std::string readError = readHostFile(path, data);
    if (!readError.empty()) {
        t_Print(w, cpm_MakeName(name));
        t_Print(w, " could not be saved: " + readError);
        return;
    }
    cpm_SaveFileResult r = cpm_SaveFile(std::move(cpm_CurrentVolume), name, data);
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

// Writes one CP/M file to the host and prints the outcome.
static void writeHostFile(const std::string &path, const Text &displayName, const Text &data) {
    uint8_t w = cpm_Window();
    int err = setbinarytofile(path, data);
    t_Print(w, displayName);
    if (err == 0) t_Print(w, " saved on Mac volume.");
    else t_Print(w, " could not be saved: " + t_ErrorText(err));
}

void cpm_CommandCpmToMac() {
    uint8_t w = cpm_Window();
    std::string answer = t_InputForm(w, "Please enter filename (* = all files): ", "", false, 0, 13);
    Text typed = t_TextUpperCase(t_StringToText(answer));
    t_ClearEndOfWindow(w);
    t_Cr(w);
    if (answer != "*") {
        cpm_FileData file = cpm_LoadFile(cpm_CurrentVolume, typed);
        if (!file.Found) {
            t_Print(w, file.Name);
            t_Print(w, " not found.");
            return;
        }
        std::string target =
            f_CatSave(w, "", "Save CP/M file", "Save as:", t_TextToString(typed), 5, listHeight(w), 60, 0);
        if (target.empty()) return;
        t_Vtab(w, 5);
        t_Htab(w, 1);
        writeHostFile(target, file.Name, file.Data);
        return;
    }
    std::string target =
        f_CatSave(w, "", "Save multiple CP/M files", "Save as:", "(original names)", 5, listHeight(w), 60, 0);
    if (target.empty()) return;
    std::string folder = t_PathDirectory(target);
    t_Vtab(w, 4);
    cpm_Volume volume = cpm_CurrentVolume;
    for (size_t i = 0; i < volume.Sizes.size(); i++) {
        if (volume.Sizes[i] < 0) continue;
        cpm_FileData file = cpm_LoadFile(volume, volume.Names[i]);
        t_Cr(w);
        if (!file.Found) {
            t_Print(w, file.Name);
            t_Print(w, " not found.");
            continue;
        }
        writeHostFile(folder + cpm_HostName(file.Name), file.Name, file.Data);
    }
}

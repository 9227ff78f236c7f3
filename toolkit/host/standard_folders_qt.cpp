// The catalogue's standard folders from QStandardPaths.
#include "standard_folders_qt.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include "folders.h"

namespace {

struct FolderRow {
    f_Folder Which;
    QStandardPaths::StandardLocation Location;
};

constexpr FolderRow folderRows[] = {
    {f_Folder::Home, QStandardPaths::HomeLocation},           {f_Folder::Desktop, QStandardPaths::DesktopLocation},
    {f_Folder::Documents, QStandardPaths::DocumentsLocation}, {f_Folder::Downloads, QStandardPaths::DownloadLocation},
    {f_Folder::Pictures, QStandardPaths::PicturesLocation},   {f_Folder::Music, QStandardPaths::MusicLocation},
    {f_Folder::Movies, QStandardPaths::MoviesLocation},
};

}  // namespace

void t_FillStandardFolders() {
    // The first of each location's folders; the catalogue falls back to the
    // home folder for one that does not exist.
    for (const FolderRow &row : folderRows)
        f_SetStandardFolder(row.Which, QStandardPaths::standardLocations(row.Location).value(0).toStdString());
    if (QCoreApplication::instance())
        f_SetStandardFolder(f_Folder::Application, QCoreApplication::applicationDirPath().toStdString());
}

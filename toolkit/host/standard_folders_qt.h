// The catalogue's standard folders from the desktop's standard paths.
#pragma once

// Hands the home, desktop, documents, downloads, pictures, music and movies
// folders and the program's own folder to the catalogue.
void t_FillStandardFolders();

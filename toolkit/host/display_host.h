// The Qt side of the display toolkit's host contract.
#pragma once

#include <QImage>
#include <cstdint>

// Installs the hooks that let the display core reach the views, host
// windows and the bell.  Called once when the interface has been built.
void t_InstallDisplayHost();

// A copy of the window image as a Qt image (menu commands copy it to the
// pasteboard); a null image when the window has no view or no image.
QImage t_WindowNSImage(uint8_t window);

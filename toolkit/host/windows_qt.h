// The installation of the window, clipboard and input services on the host
// windows that the interface has made (see host_windows.h).
#pragma once

#include <QObject>

// Installs the services; the input filters of the toolkit windows belong to
// owner.
void t_InstallWindowHost(QObject *owner);

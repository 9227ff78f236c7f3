// Lookup of the host windows, views and text views by window number, and the
// installation of the window, clipboard and input services.
#pragma once

#include <QMainWindow>
#include <QPlainTextEdit>
#include <cstdint>

#include "view.h"

class AppDelegate;

QMainWindow *t_HostWindow(uint8_t n);
t_View *t_HostView(uint8_t n);
QPlainTextEdit *t_WindowTextView(uint8_t n);
// The number of a host window (255 when it is none of ours).
uint8_t t_WindowNumber(const QWidget *window);
void t_InstallWindowHost(AppDelegate *delegate);

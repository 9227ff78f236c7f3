// The printer's host half: its text view and ruler.
#pragma once

class AppDelegate;

void t_InstallPrinterHost(AppDelegate *delegate);

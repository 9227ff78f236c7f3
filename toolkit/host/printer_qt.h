// The printer's host half: its text view and ruler.
#pragma once

// Installs the printer's services on the Virtual Printer window's text view
// and ruler.
void t_InstallPrinterHost();

// Installs Qt's Unicode normalisation and case mapping for the string utilities.
#pragma once

void t_InstallQtUnicodeServices();

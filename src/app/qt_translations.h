#pragma once

// Installs Qt's own Simplified Chinese texts (the command-line help's headings, the standard
// dialogs' buttons) when the system has them; without them Qt's texts stay in English.
void InstallQtChineseTranslations();

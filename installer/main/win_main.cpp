#include <windows.h>

#include "installer/main/installer_entry.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int show) {
  return InstallerEntry(instance, show);
}

// Test helper: a process that stays alive to be found and killed by name.
// It ends on its own with exit code 3 after a minute, so a failed test cannot
// leave it behind for long; the process helpers stop it with exit code 0.
#include <windows.h>

int main() {
  Sleep(60000);
  return 3;
}

#include "installer/main/instance_lock.h"

#include "installer/base/known_folders.h"
#include "installer/base/string_helpers.h"

std::wstring InstanceLockName(const std::wstring& fileName) {
  const std::vector<std::wstring> pieces = SplitText(fileName, L".");
  return pieces.size() == 2 ? pieces[0] : std::wstring();
}

std::wstring InstanceLockName() { return InstanceLockName(ModuleFileName()); }

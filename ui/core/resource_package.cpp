#include "ui/core/resource_package.h"

#include "nbase/string_conversion.h"
#include "ui/core/text_helpers.h"

namespace ui {

bool ResourcePackage::OpenFromResource(HMODULE module, int resource_id,
                                       const std::wstring& resource_type,
                                       const std::wstring& /*password*/) {
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(resource_id), resource_type.c_str());
  if (!resource) return false;
  HGLOBAL loaded = LoadResource(module, resource);
  const DWORD size = SizeofResource(module, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return false;
  // Resource memory belongs to the mapped module and is never freed.
  return OpenFromMemory(data, size);
}

bool ResourcePackage::OpenFromMemory(const void* data, size_t size) {
  return archive_.Open(data, size);
}

GlobalMemory ResourcePackage::Read(const std::wstring& path) const {
  if (!IsOpen() || path.empty()) return GlobalMemory();
  const std::string name = nbase::WideToUtf8(ToPackagePath(path));
  const ZipArchive::Member* member = name.empty() ? nullptr : archive_.Find(name);
  if (!member || !archive_.CanExtract(*member)) return GlobalMemory();

  const SIZE_T block_size = member->size > 0 ? member->size : 1;
  GlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, block_size));
  if (!block) return GlobalMemory();
  {
    GlobalMemoryLock lock(block.Get());
    if (!lock.data() || !archive_.Extract(*member, lock.data())) return GlobalMemory();
  }
  return block;
}

std::wstring ToNativePath(const std::wstring& path) {
  std::wstring native = path;
  ReplaceAll(L"/", L"\\", &native);
  ReplaceAll(L"\\\\", L"\\", &native);
  return native;
}

std::wstring ToPackagePath(const std::wstring& path) {
  std::wstring result = path;
  ReplaceAll(L"\\", L"/", &result);
  ReplaceAll(L"//", L"/", &result);
  size_t at = 0;
  while (at < result.size()) {
    const bool component_start = at == 0 || result[at - 1] == L'/';
    if (!component_start) {
      ++at;
    } else if (result[at] == L'/') {
      result.erase(at, 1);
    } else if (result.compare(at, 2, L"./") == 0) {
      result.erase(at, 2);
    } else if (result.compare(at, 3, L"../") == 0) {
      // Remove the component before, with its slash; at the very start there
      // is none and only the "../" goes.
      size_t previous = 0;
      if (at >= 2) {
        const size_t slash = result.rfind(L'/', at - 2);
        previous = slash == std::wstring::npos ? 0 : slash + 1;
      }
      result.erase(previous, at + 3 - previous);
      at = previous;
    } else {
      ++at;
    }
  }
  return result;
}

namespace {

ResourcePackage& ProcessPackage() {
  static ResourcePackage package;
  return package;
}

}  // namespace

bool OpenResourcePackage(int resource_id, const std::wstring& resource_type,
                         const std::wstring& password) {
  return ProcessPackage().OpenFromResource(GetModuleHandleW(nullptr), resource_id, resource_type,
                                           password);
}

bool IsPackageOpen() { return ProcessPackage().IsOpen(); }

GlobalMemory ReadPackageFile(const std::wstring& path) { return ProcessPackage().Read(path); }

void ClosePackage() { ProcessPackage().Close(); }

}  // namespace ui

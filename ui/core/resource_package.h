#pragma once

#include <windows.h>

#include <string>

#include "ui/core/global_memory.h"
#include "ui/core/zip_archive.h"

namespace ui {

// A ZIP archive of skin, settings and language files, read in place from a
// resource of the executable (or from other memory that outlives it).
class ResourcePackage {
 public:
  ResourcePackage() = default;
  ResourcePackage(const ResourcePackage&) = delete;
  ResourcePackage& operator=(const ResourcePackage&) = delete;

  // Opens the archive stored in `module`'s resource of that id and type.
  // When the resource is missing nothing changes and the result is false;
  // otherwise any open archive is closed first. Encrypted members are not
  // supported, so the password is not used.
  bool OpenFromResource(HMODULE module, int resource_id, const std::wstring& resource_type,
                        const std::wstring& password);
  // Opens an archive in memory that stays valid while the package is open.
  bool OpenFromMemory(const void* data, size_t size);
  void Close() { archive_.Close(); }
  bool IsOpen() const { return archive_.IsOpen(); }

  // The member named by `path` (either path form; letter case of ASCII
  // letters ignored) in a movable block of its uncompressed size. An empty
  // member gives a one-byte block holding a NUL, so that it can be locked.
  // None when the path is empty, the member is missing or damaged.
  GlobalMemory Read(const std::wstring& path) const;

 private:
  ZipArchive archive_;
};

// Skin paths are built by concatenation; these put them into one form.
// Native form: "/" becomes "\", then each "\\" becomes "\".
std::wstring ToNativePath(const std::wstring& path);
// Package form, the member names: "\" becomes "/", "//" becomes "/", and at
// the start of each component a "/" or "./" is dropped and "../" removes the
// component before it ("../" at the very start is dropped).
std::wstring ToPackagePath(const std::wstring& path);

// The process's one package, used on the UI thread only. The installer opens
// it from its own resource 133 of type "ZIP" before the UI starts; when it is
// not open, callers read the same relative paths from the file system.
bool OpenResourcePackage(int resource_id, const std::wstring& resource_type,
                         const std::wstring& password);
bool IsPackageOpen();
GlobalMemory ReadPackageFile(const std::wstring& path);
void ClosePackage();

}  // namespace ui

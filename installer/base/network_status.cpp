#include "installer/base/network_status.h"

#include <windows.h>
#include <netlistmgr.h>
#include <objbase.h>
#include <wrl/client.h>

namespace {

// {DCB00C01-570F-4A9B-8D69-199FDBA5723B}
constexpr CLSID kNetworkListManagerClass = {
    0xDCB00C01, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};
// {DCB00000-570F-4A9B-8D69-199FDBA5723B}
constexpr IID kNetworkListManagerInterface = {
    0xDCB00000, 0x570F, 0x4A9B, {0x8D, 0x69, 0x19, 0x9F, 0xDB, 0xA5, 0x72, 0x3B}};

// Initialises COM for the scope and uninitialises it only if this call did:
// a thread already in another apartment keeps its COM untouched.
class ScopedComInitialise {
 public:
  ScopedComInitialise()
      : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ScopedComInitialise() {
    if (initialised_) CoUninitialize();
  }
  ScopedComInitialise(const ScopedComInitialise&) = delete;
  ScopedComInitialise& operator=(const ScopedComInitialise&) = delete;

 private:
  bool initialised_;
};

HRESULT ReadIsConnectedToInternet(INetworkListManager* manager, VARIANT_BOOL* connected) {
  // The property getter carries the IDL property prefix in the Windows SDK
  // and not in mingw-w64's header; the vtable slot is the same.
#if defined(__MINGW32__)
  return manager->IsConnectedToInternet(connected);
#else
  return manager->get_IsConnectedToInternet(connected);
#endif
}

}  // namespace

bool IsInternetConnected() {
  ScopedComInitialise com;
  Microsoft::WRL::ComPtr<IUnknown> unknown;
  if (FAILED(CoCreateInstance(kNetworkListManagerClass, nullptr, CLSCTX_ALL, IID_IUnknown,
                              reinterpret_cast<void**>(unknown.GetAddressOf())))) {
    return true;
  }
  Microsoft::WRL::ComPtr<INetworkListManager> manager;
  if (FAILED(unknown->QueryInterface(kNetworkListManagerInterface,
                                     reinterpret_cast<void**>(manager.GetAddressOf())))) {
    return true;
  }
  VARIANT_BOOL connected = VARIANT_TRUE;
  if (FAILED(ReadIsConnectedToInternet(manager.Get(), &connected))) return true;
  return connected != VARIANT_FALSE;
}

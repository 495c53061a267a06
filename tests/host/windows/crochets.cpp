// What the converter tests read of the Windows calls, on the real API: message boxes
// are recorded instead of shown, which would wait for a click. The converter's calls
// go through this program's import table; its MessageBoxA entry is pointed here.
#include "win32_test.h"

#include <vector>

extern "C" void* __imp_MessageBoxA;

namespace {

std::vector<win32test::ShownMessage> montres;
DWORD poigneesDepart = 0;

int WINAPI enregistre(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
  montres.push_back({text ? text : "", caption ? caption : "", caption != nullptr, owner != nullptr, flags});
  return IDOK;
}

const bool detourne = [] {
  DWORD protection = 0;
  if (!VirtualProtect(&__imp_MessageBoxA, sizeof(void*), PAGE_READWRITE, &protection)) return false;
  __imp_MessageBoxA = reinterpret_cast<void*>(&enregistre);
  VirtualProtect(&__imp_MessageBoxA, sizeof(void*), protection, &protection);
  return true;
}();

DWORD poignees() {
  DWORD n = 0;
  GetProcessHandleCount(GetCurrentProcess(), &n);
  return n;
}

}  // namespace

namespace win32test {

const std::vector<ShownMessage>& messages() { return montres; }
void clearMessages() { montres.clear(); }

// Kernel handles opened since the last reset and still open.
std::size_t openHandles() {
  const DWORD n = poignees();
  return n > poigneesDepart ? n - poigneesDepart : 0;
}

void reset() {
  montres.clear();
  poigneesDepart = poignees();
}

}  // namespace win32test

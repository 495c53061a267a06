// Fixed memory blocks: the handle is the block's address.
#include "etat.h"

#include <sys/sysinfo.h>

#include <cstdlib>

namespace {

void* alloue(UINT flags, SIZE_T octets) {
  if (win32::panne(win32test::Call::Allocation)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (octets == 0) octets = 1;
  void* p = (flags & GMEM_ZEROINIT) ? std::calloc(1, octets) : std::malloc(octets);
  if (!p) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return p;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) { return alloue(flags, bytes); }

HGLOBAL GlobalFree(HGLOBAL mem) {
  std::free(mem);
  return nullptr;
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) { return alloue(flags, bytes); }

HLOCAL LocalFree(HLOCAL mem) {
  std::free(mem);
  return nullptr;
}

void GlobalMemoryStatus(LPMEMORYSTATUS status) {
  if (!status) return;
  struct sysinfo si {};
  sysinfo(&si);
  const SIZE_T unite = si.mem_unit ? si.mem_unit : 1;
  status->dwLength = sizeof(MEMORYSTATUS);
  status->dwTotalPhys = si.totalram * unite;
  status->dwAvailPhys = si.freeram * unite;
  if (SIZE_T imposee = win32::memoireLibreImposee()) status->dwAvailPhys = imposee;
  status->dwMemoryLoad =
      status->dwTotalPhys && status->dwAvailPhys <= status->dwTotalPhys
          ? static_cast<DWORD>(100 - status->dwAvailPhys * 100 / status->dwTotalPhys)
          : 0;
  status->dwTotalPageFile = (si.totalram + si.totalswap) * unite;
  status->dwAvailPageFile = (si.freeram + si.freeswap) * unite;
  status->dwTotalVirtual = status->dwTotalPageFile;
  status->dwAvailVirtual = status->dwAvailPageFile;
}

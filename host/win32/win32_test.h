// Test control of the Windows stand-in: what it recorded, and failures on demand.
// Only tests include this; the converter never does.
#pragma once

#include "win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace win32test {

struct ShownMessage {
  std::string text;     // Windows-1252 bytes as passed
  std::string caption;  // empty when there was none
  bool hasCaption;
  bool hasOwner;
  UINT flags;
};

// Every MessageBoxA call since the last reset, in order.
const std::vector<ShownMessage>& messages();
void clearMessages();

// Calls that can be made to misbehave.
enum class Call {
  Allocation,  // GlobalAlloc and LocalAlloc, counted together
  GetTempPath,
  GetTempFileName,
  CreateFile,
  ReadFile,
  WriteFile,
  GetOverlappedResult,
  Tmpfile,
  Tempnam,
  Fopen,
  OpenPrinter,
  GetPrinter,
  StartDocPrinter,
  WritePrinter,
  EndDocPrinter,
  AbortPrinter,
  GetPrinterData,
  SetPrinterData,
  GetDC,
  CreateDC,
  CreateCompatibleDC,
  CreateCompatibleBitmap,
  CreatePen,
  SelectObject,
  Polygon,  // and PolyPolygon
  GetObject,
  GetBitmapBits,
  CreateDIBitmap,
  StretchBlt,  // and BitBlt
  GetDIBits,
};

enum class Fault {
  Fail,          // the call fails at once
  Short,         // ReadFile/WriteFile: completes with half of the bytes transferred
  Pending,       // ReadFile/WriteFile: reports ERROR_IO_PENDING; GetOverlappedResult completes it
  PendingShort,  // as Pending, and the completion carries half of the bytes
  PendingFail,   // as Pending, and GetOverlappedResult then fails
};

// The nth next call of that kind (1 = the next one) behaves as the fault says; once.
void inject(Call call, Fault fault = Fault::Fail, unsigned nth = 1);
// Every overlapped transfer goes through ERROR_IO_PENDING and GetOverlappedResult.
void alwaysPending(bool on);

// Overlapped transfers issued to ReadFile and WriteFile, in order.
struct Transfer {
  bool write;
  DWORD bytes;
  std::uint64_t offset;
};
const std::vector<Transfer>& transfers();

// What GlobalMemoryStatus reports as available physical memory; 0 = the machine's own figure.
void setAvailablePhysical(SIZE_T bytes);

// Open file, printer and GDI handles (to check that nothing is left open).
std::size_t openHandles();

// Forgets messages, transfers and pending faults; restores the memory figure.
void reset();

}  // namespace win32test

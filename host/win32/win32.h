// The Windows calls the converter makes. On Windows they come from the system;
// elsewhere this stand-in declares the few types and functions the converter
// uses and host/win32/*.cpp implements them.
#pragma once

#include <cstdio>

#ifdef _WIN32

#include <windows.h>
#include <winspool.h>

// Stream temporary files through the C runtime as it is.
inline FILE* CrtTmpfile() { return tmpfile(); }
inline FILE* CrtFopen(const char* nom, const char* mode) { return fopen(nom, mode); }
inline long long CrtFtell64(FILE* f) { return _ftelli64(f); }
inline int CrtFseek64(FILE* f, long long position, int origine) { return _fseeki64(f, position, origine); }

#else

#include <cstddef>
#include <cstdint>

#define WINAPI

typedef int BOOL;
typedef unsigned char BYTE;
typedef BYTE* LPBYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef DWORD* LPDWORD;
typedef std::int32_t LONG;
typedef unsigned int UINT;
typedef std::size_t SIZE_T;
typedef std::uintptr_t ULONG_PTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef HANDLE* LPHANDLE;
typedef void* HWND;
typedef void* HGLOBAL;
typedef void* HLOCAL;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

// Error codes
#define ERROR_SUCCESS 0u
#define ERROR_FILE_NOT_FOUND 2u
#define ERROR_PATH_NOT_FOUND 3u
#define ERROR_ACCESS_DENIED 5u
#define ERROR_INVALID_HANDLE 6u
#define ERROR_NOT_ENOUGH_MEMORY 8u
#define ERROR_INVALID_DATA 13u
#define ERROR_WRITE_FAULT 29u
#define ERROR_READ_FAULT 30u
#define ERROR_HANDLE_EOF 38u
#define ERROR_NETNAME_DELETED 64u
#define ERROR_BAD_NET_NAME 67u
#define ERROR_INVALID_PARAMETER 87u
#define ERROR_SEM_TIMEOUT 121u
#define ERROR_INSUFFICIENT_BUFFER 122u
#define ERROR_MORE_DATA 234u
#define ERROR_IO_INCOMPLETE 996u
#define ERROR_IO_PENDING 997u
#define ERROR_CONNECTION_REFUSED 1225u
#define ERROR_INVALID_PRINTER_NAME 1801u
#define ERROR_SPL_NO_STARTDOC 3004u

DWORD GetLastError();
void SetLastError(DWORD code);

// Message box
#define MB_OK 0x00000000u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_SETFOREGROUND 0x00010000u
#define MB_DEFAULT_DESKTOP_ONLY 0x00020000u
#define IDOK 1

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags);

// Memory
#define GMEM_FIXED 0x0000u
#define GMEM_ZEROINIT 0x0040u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define LMEM_FIXED 0x0000u
#define LMEM_ZEROINIT 0x0040u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
HGLOBAL GlobalFree(HGLOBAL mem);
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL mem);

struct MEMORYSTATUS {
  DWORD dwLength;
  DWORD dwMemoryLoad;
  SIZE_T dwTotalPhys;
  SIZE_T dwAvailPhys;
  SIZE_T dwTotalPageFile;
  SIZE_T dwAvailPageFile;
  SIZE_T dwTotalVirtual;
  SIZE_T dwAvailVirtual;
};
typedef MEMORYSTATUS* LPMEMORYSTATUS;

void GlobalMemoryStatus(LPMEMORYSTATUS status);

// Files
#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define CREATE_ALWAYS 2u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000u
#define FILE_FLAG_OVERLAPPED 0x40000000u

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

struct OVERLAPPED {
  ULONG_PTR Internal;      // status of the transfer
  ULONG_PTR InternalHigh;  // bytes transferred
  DWORD Offset;
  DWORD OffsetHigh;
  HANDLE hEvent;
};
typedef OVERLAPPED* LPOVERLAPPED;

DWORD GetTempPathA(DWORD size, LPSTR buffer);
UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR name);
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE model);
BOOL DeleteFileA(LPCSTR name);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED overlapped);
BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait);
BOOL CloseHandle(HANDLE object);

// Spooler
#define PRINTER_ALL_ACCESS 0x000F000Cu
#define REG_DWORD 4u

struct PRINTER_DEFAULTSA {
  LPSTR pDatatype;
  void* pDevMode;
  DWORD DesiredAccess;
};
typedef PRINTER_DEFAULTSA* LPPRINTER_DEFAULTSA;

struct PRINTER_INFO_2A {
  LPSTR pServerName;
  LPSTR pPrinterName;
};

struct DOC_INFO_1A {
  LPSTR pDocName;
  LPSTR pOutputFile;
  LPSTR pDatatype;
};

BOOL OpenPrinterA(LPSTR name, LPHANDLE printer, LPPRINTER_DEFAULTSA defaults);
BOOL ClosePrinter(HANDLE printer);
BOOL GetPrinterA(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);
DWORD StartDocPrinterA(HANDLE printer, DWORD level, LPBYTE docInfo);
BOOL WritePrinter(HANDLE printer, LPVOID buffer, DWORD bytes, LPDWORD written);
BOOL EndDocPrinter(HANDLE printer);
BOOL AbortPrinter(HANDLE printer);
DWORD GetPrinterDataA(HANDLE printer, LPSTR valueName, LPDWORD type, LPBYTE data, DWORD size,
                      LPDWORD needed);
DWORD SetPrinterDataA(HANDLE printer, LPSTR valueName, DWORD type, LPBYTE data, DWORD size);

// GDI: device contexts, 1-bit (memory device context) and 32-bit (screen or printer)
// bitmaps, filled polygons. A mono bitmap's rows are padded to 16 bits, white is 1.
typedef void* HDC;
typedef void* HGDIOBJ;
typedef HGDIOBJ HBITMAP;
typedef HGDIOBJ HPEN;
typedef DWORD COLORREF;
typedef int INT;

#define PS_SOLID 0

struct POINT {
  LONG x;
  LONG y;
};

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct DEVMODEA;

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HDC CreateDCA(LPCSTR driver, LPCSTR device, LPCSTR port, const DEVMODEA* mode);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HPEN CreatePen(int style, int width, COLORREF colour);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
// Interior by the alternate rule (pixel centres), then the outline with the pen.
BOOL Polygon(HDC dc, const POINT* points, int count);
BOOL PolyPolygon(HDC dc, const POINT* points, const INT* counts, int polygons);
int GetObjectA(HANDLE object, int size, LPVOID buffer);
LONG GetBitmapBits(HBITMAP bitmap, LONG size, LPVOID bits);

// Device-independent bitmaps: rows padded to 32 bits, bottom row first unless the height
// is negative; 1, 4 or 8 bits index the colour table that follows the header (1 and 4
// bits from the high bits of a byte), 24 and 32 bits hold blue, green, red (and a byte
// that is ignored). Uncompressed only.
struct SIZE {
  LONG cx;
  LONG cy;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
typedef BITMAPINFO* LPBITMAPINFO;

#define BI_RGB 0u
#define CBM_INIT 0x04u
#define DIB_RGB_COLORS 0u
#define DIB_PAL_COLORS 1u
#define SRCCOPY 0x00CC0020u
#define NOTSRCCOPY 0x00330008u
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4

// A bitmap in the format of the context: mono for a memory context until a colour
// bitmap is selected, 32 bits otherwise. With CBM_INIT its pixels come from the DIB
// (a colour index beyond the table gives black); without it the bitmap is black.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, LPCVOID bits,
                       const BITMAPINFO* info, UINT usage);
// The mode is the destination context's; a new context is in BLACKONWHITE. Returns the
// previous mode, 0 on failure.
int SetStretchBltMode(HDC dc, int mode);
// Between memory contexts, SRCCOPY or NOTSRCCOPY (every colour channel inverted); the
// source rectangle lies inside the source bitmap, the destination is clipped to its own.
// COLORONCOLOR: destination pixel i takes source pixel floor((2i + 1) * ws / (2 * wd)).
// HALFTONE: destination pixel i covers the source span [i * ws / wd, (i + 1) * ws / wd),
// and each channel is the area-weighted mean of the source pixels under it, rounded half
// up. Other modes (AND and OR of eliminated scans) are refused, as are extents below 1.
BOOL StretchBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc,
                int wSrc, int hSrc, DWORD rop);
BOOL BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int xSrc, int ySrc, DWORD rop);
// Scan lines [start, start + lines) of the bitmap, counted in the DIB's own row order,
// into the DIB format of the header, which has the bitmap's width and height. At 1, 4 and
// 8 bits each pixel takes the nearest table colour (least sum of squared differences of
// red, green and blue; the lowest index on a tie); padding bits are 0. The table is read,
// not filled in. Returns the number of lines written.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info,
              UINT usage);

// C runtime: _tempnam, and the streams whose mode "D" deletes the file when it is closed.
char* _tempnam(const char* folder, const char* prefix);
FILE* CrtTmpfile();
FILE* CrtFopen(const char* name, const char* mode);
// 64-bit positions in those streams.
inline long long CrtFtell64(FILE* f) { return ftello(f); }
inline int CrtFseek64(FILE* f, long long position, int origine) { return fseeko(f, position, origine); }

#endif

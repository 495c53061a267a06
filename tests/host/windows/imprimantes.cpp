// Adds the printers the Windows tests print to (Wine has none of its own), afresh, each
// with a raw driver and the FILE: port: the tests give every document an output file.
#include <windows.h>
#include <winspool.h>

#include <cstdio>

int main(int argc, char** argv) {
  char pilote[] = "Brevolt test", fichierPilote[] = "wineps.drv", port[] = "FILE:", processeur[] = "WinPrint",
       type[] = "RAW";
  DRIVER_INFO_3A d{};
  d.cVersion = 3;
  d.pName = pilote;
  d.pDriverPath = d.pDataFile = d.pConfigFile = fichierPilote;
  if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&d)) &&
      GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
    std::fprintf(stderr, "AddPrinterDriverA: error %lu\n", GetLastError());
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    // A printer of an earlier run goes, with the values the tests gave it.
    HANDLE h = nullptr;
    PRINTER_DEFAULTSA tout{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (OpenPrinterA(argv[i], &h, &tout)) {
      const BOOL supprimee = DeletePrinter(h);
      ClosePrinter(h);
      if (!supprimee) {
        std::fprintf(stderr, "DeletePrinter %s: error %lu\n", argv[i], GetLastError());
        return 1;
      }
    }
    PRINTER_INFO_2A p{};
    p.pPrinterName = argv[i];
    p.pPortName = port;
    p.pDriverName = pilote;
    p.pPrintProcessor = processeur;
    p.pDatatype = type;
    h = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&p));
    if (!h) {
      std::fprintf(stderr, "AddPrinterA %s: error %lu\n", argv[i], GetLastError());
      return 1;
    }
    ClosePrinter(h);
  }
  return 0;
}

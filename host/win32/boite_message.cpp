// MessageBoxA never waits for anyone: it shows the text on stderr and keeps it for tests.
#include "etat.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

thread_local DWORD derniereErreur = ERROR_SUCCESS;

std::vector<win32test::ShownMessage>& affiches() {
  static std::vector<win32test::ShownMessage> m;
  return m;
}

// Code points of 0x80..0x9F in Windows-1252; 0 where the code page has no character.
constexpr char16_t kPlage80[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::string versUtf8(const char* texte) {
  std::string sortie;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(texte); *p; ++p) {
    char32_t c = *p;
    if (c >= 0x80 && c < 0xA0) c = kPlage80[c - 0x80] ? kPlage80[c - 0x80] : 0xFFFD;
    if (c < 0x80) {
      sortie += static_cast<char>(c);
    } else if (c < 0x800) {
      sortie += static_cast<char>(0xC0 | (c >> 6));
      sortie += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      sortie += static_cast<char>(0xE0 | (c >> 12));
      sortie += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      sortie += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return sortie;
}

}  // namespace

DWORD GetLastError() { return derniereErreur; }
void SetLastError(DWORD code) { derniereErreur = code; }

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
  const char* t = text ? text : "";
  affiches().push_back({t, caption ? caption : "", caption != nullptr, owner != nullptr, flags});
  if (caption)
    std::fprintf(stderr, "%s: %s\n", versUtf8(caption).c_str(), versUtf8(t).c_str());
  else
    std::fprintf(stderr, "%s\n", versUtf8(t).c_str());
  return IDOK;
}

namespace win32test {

const std::vector<ShownMessage>& messages() { return affiches(); }
void clearMessages() { affiches().clear(); }

}  // namespace win32test

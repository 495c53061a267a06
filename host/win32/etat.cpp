#include "etat.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace win32 {
namespace {

struct PanneDue {
  win32test::Call appel;
  win32test::Fault panne;
  unsigned restant;
};

std::unordered_set<Objet*>& vivants() {
  static std::unordered_set<Objet*> v;
  return v;
}
std::vector<PanneDue>& pannes() {
  static std::vector<PanneDue> p;
  return p;
}
std::vector<win32test::Transfer>& journal() {
  static std::vector<win32test::Transfer> j;
  return j;
}
bool enAttente = false;
SIZE_T memoireImposee = 0;

}  // namespace

HANDLE enregistre(Objet* o) {
  vivants().insert(o);
  return o;
}

Objet* objet(HANDLE h, Objet::Genre genre) {
  auto* o = static_cast<Objet*>(h);
  if (h == nullptr || h == INVALID_HANDLE_VALUE || !vivants().contains(o) || o->genre != genre) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return o;
}

bool libere(HANDLE h, Objet::Genre genre) {
  Objet* o = objet(h, genre);
  if (!o) return false;
  vivants().erase(o);
  delete o;
  return true;
}

std::optional<win32test::Fault> panne(win32test::Call appel) {
  std::optional<win32test::Fault> due;
  auto& p = pannes();
  for (auto it = p.begin(); it != p.end();) {
    if (it->appel == appel && --it->restant == 0) {
      if (!due) due = it->panne;
      it = p.erase(it);
    } else {
      ++it;
    }
  }
  return due;
}

bool toujoursEnAttente() { return enAttente; }

void noteTransfert(bool ecriture, DWORD octets, std::uint64_t offset) {
  journal().push_back({ecriture, octets, offset});
}

SIZE_T memoireLibreImposee() { return memoireImposee; }

}  // namespace win32

namespace win32test {

void inject(Call call, Fault fault, unsigned nth) {
  win32::pannes().push_back({call, fault, std::max(nth, 1u)});
}

void alwaysPending(bool on) { win32::enAttente = on; }

const std::vector<Transfer>& transfers() { return win32::journal(); }

void setAvailablePhysical(SIZE_T bytes) { win32::memoireImposee = bytes; }

std::size_t openHandles() { return win32::vivants().size(); }

void reset() {
  clearMessages();
  win32::pannes().clear();
  win32::journal().clear();
  win32::enAttente = false;
  win32::memoireImposee = 0;
}

}  // namespace win32test

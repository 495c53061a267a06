// Temporary files with overlapped transfers. Transfers complete at once (pread/pwrite
// at 64-bit offsets); the pending path exists so that callers' handling of it is exercised.
#include "etat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace win32 {
Fichier::~Fichier() {
  if (fd >= 0) ::close(fd);
}
}  // namespace win32

namespace {

using win32test::Call;
using win32test::Fault;

DWORD erreurDepuisErrno(int e) {
  switch (e) {
    case ENOENT:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

win32::Fichier* fichier(HANDLE h) {
  return static_cast<win32::Fichier*>(win32::objet(h, win32::Objet::Genre::Fichier));
}

// Transfers until done, end of file or error; returns the count, or -1 on error.
// A negative offset means the file's own position.
long long transfere(int fd, bool ecriture, void* tampon, DWORD octets, long long offset) {
  auto* p = static_cast<char*>(tampon);
  DWORD fait = 0;
  while (fait < octets) {
    ssize_t n;
    if (offset < 0)
      n = ecriture ? ::write(fd, p + fait, octets - fait) : ::read(fd, p + fait, octets - fait);
    else
      n = ecriture ? ::pwrite(fd, p + fait, octets - fait, static_cast<off_t>(offset + fait))
                   : ::pread(fd, p + fait, octets - fait, static_cast<off_t>(offset + fait));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    fait += static_cast<DWORD>(n);
  }
  return fait;
}

BOOL transfert(bool ecriture, HANDLE h, void* tampon, DWORD octets, LPDWORD fait,
               LPOVERLAPPED ov) {
  if (fait) *fait = 0;
  win32::Fichier* f = fichier(h);
  if (!f) return FALSE;
  if (!tampon && octets) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD erreurEchec = ecriture ? ERROR_WRITE_FAULT : ERROR_READ_FAULT;
  const std::uint64_t position =
      ov ? (static_cast<std::uint64_t>(ov->OffsetHigh) << 32) | ov->Offset : 0;
  if (ov) win32::noteTransfert(ecriture, octets, position);
  if (position > static_cast<std::uint64_t>(INT64_MAX) - octets) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const long long offset = ov ? static_cast<long long>(position) : -1;

  auto panne = win32::panne(ecriture ? Call::WriteFile : Call::ReadFile);
  if (panne == Fault::Fail) {
    SetLastError(erreurEchec);
    return FALSE;
  }
  const bool enAttente = ov && (win32::toujoursEnAttente() || panne == Fault::Pending ||
                                panne == Fault::PendingShort || panne == Fault::PendingFail);
  DWORD demande = octets;
  if (panne == Fault::Short || panne == Fault::PendingShort) demande = octets / 2;

  long long n = 0;
  DWORD statut = ERROR_SUCCESS;
  if (panne == Fault::PendingFail) {
    statut = erreurEchec;
  } else {
    n = transfere(f->fd, ecriture, tampon, demande, offset);
    if (n < 0) {
      statut = erreurDepuisErrno(errno);
      n = 0;
    } else if (!ecriture && n == 0 && demande > 0) {
      statut = ERROR_HANDLE_EOF;
    }
  }
  if (ov) {
    ov->Internal = statut;
    ov->InternalHigh = static_cast<ULONG_PTR>(n);
  }
  if (enAttente) {
    SetLastError(ERROR_IO_PENDING);
    return FALSE;
  }
  if (statut != ERROR_SUCCESS) {
    SetLastError(statut);
    return FALSE;
  }
  if (fait) *fait = static_cast<DWORD>(n);
  return TRUE;
}

}  // namespace

DWORD GetTempPathA(DWORD size, LPSTR buffer) {
  if (win32::panne(Call::GetTempPath)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  // As Windows reads TMP then TEMP, with the variable this system gives for it last.
  std::string chemin = "/tmp";
  for (const char* nom : {"TMP", "TEMP", "TMPDIR"}) {
    const char* env = std::getenv(nom);
    if (env && *env) {
      chemin = env;
      break;
    }
  }
  if (chemin.back() != '/') chemin += '/';
  if (!buffer || size <= chemin.size()) return static_cast<DWORD>(chemin.size() + 1);
  std::memcpy(buffer, chemin.c_str(), chemin.size() + 1);
  return static_cast<DWORD>(chemin.size());
}

UINT GetTempFileNameA(LPCSTR path, LPCSTR prefix, UINT unique, LPSTR name) {
  if (win32::panne(Call::GetTempFileName) || !path || !name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string dossier = path;
  if (dossier.empty() || dossier.back() != '/') dossier += '/';
  const std::string debut = dossier + std::string(prefix ? prefix : "").substr(0, 3);
  auto forme = [&](unsigned numero) {
    char suffixe[16];
    std::snprintf(suffixe, sizeof suffixe, "%04X.tmp", numero & 0xFFFFu);
    return debut + suffixe;
  };
  if (unique != 0) {
    std::string n = forme(unique);
    if (n.size() >= MAX_PATH) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    std::memcpy(name, n.c_str(), n.size() + 1);
    return unique & 0xFFFFu;
  }
  static unsigned suivant = static_cast<unsigned>(::getpid());
  for (unsigned essai = 0; essai < 0x10000u; ++essai) {
    unsigned numero = (suivant++ & 0xFFFFu);
    if (numero == 0) continue;
    std::string n = forme(numero);
    if (n.size() >= MAX_PATH) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    int fd = ::open(n.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      std::memcpy(name, n.c_str(), n.size() + 1);
      return numero;
    }
    if (errno != EEXIST) {
      SetLastError(erreurDepuisErrno(errno));
      return 0;
    }
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return 0;
}

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flags, HANDLE) {
  if (win32::panne(Call::CreateFile)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  if (!name || disposition != CREATE_ALWAYS || !(access & (GENERIC_READ | GENERIC_WRITE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int mode = (access & GENERIC_READ) && (access & GENERIC_WRITE) ? O_RDWR
             : (access & GENERIC_WRITE)                          ? O_WRONLY
                                                                 : O_RDONLY;
  int fd = ::open(name, mode | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    SetLastError(erreurDepuisErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  // Unlinked now, the file lives exactly as long as its handle.
  if (flags & FILE_FLAG_DELETE_ON_CLOSE) ::unlink(name);
  auto* f = new win32::Fichier;
  f->fd = fd;
  return win32::enregistre(f);
}

BOOL DeleteFileA(LPCSTR name) {
  if (!name || ::unlink(name) != 0) {
    SetLastError(name ? erreurDepuisErrno(errno) : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytes, LPDWORD written, LPOVERLAPPED ov) {
  return transfert(true, file, const_cast<void*>(buffer), bytes, written, ov);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytes, LPDWORD read, LPOVERLAPPED ov) {
  return transfert(false, file, buffer, bytes, read, ov);
}

BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED ov, LPDWORD transferred, BOOL) {
  if (transferred) *transferred = 0;
  if (!fichier(file)) return FALSE;
  if (!ov) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (win32::panne(Call::GetOverlappedResult)) {
    SetLastError(ERROR_IO_INCOMPLETE);
    return FALSE;
  }
  if (ov->Internal != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(ov->Internal));
    return FALSE;
  }
  if (transferred) *transferred = static_cast<DWORD>(ov->InternalHigh);
  return TRUE;
}

BOOL CloseHandle(HANDLE object) {
  return win32::libere(object, win32::Objet::Genre::Fichier) ? TRUE : FALSE;
}

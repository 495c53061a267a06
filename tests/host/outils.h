// Shared set-up of the converter tests: fresh records, a job file, a spool folder.
#pragma once

#include "contexte.h"
#include "fichier_machine.h"
#include "job_file.h"
#include "settings_record.h"
#include "win32_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

// A private folder holding one printer, "laser1"; BREVOLT_SPOOL_DIR points at it.
class DossierSpool {
 public:
  DossierSpool();
  ~DossierSpool();
  std::filesystem::path imprimante() const { return racine_ / "laser1"; }
  std::vector<std::string> fichiers() const;  // names in the printer folder, sorted
  HANDLE ouvre() const;

 private:
  std::filesystem::path racine_;
};

#ifndef _WIN32
// A loopback TCP peer on a free port of 127.0.0.1, standing for the controller.
// Without listening, connections to its port are refused.
class Ecouteur {
 public:
  explicit Ecouteur(bool ecoute = true);
  ~Ecouteur();
  Ecouteur(const Ecouteur&) = delete;
  Ecouteur& operator=(const Ecouteur&) = delete;
  int port() const { return port_; }
  // Serves the next connection in the background: reads until the sender closes, or
  // closes itself after `limite` bytes.
  void sert(std::size_t limite = SIZE_MAX);
  // What the connection served brought.
  std::string recu();
  bool connexionEnAttente() const;

 private:
  int fd_ = -1;
  int port_ = 0;
  std::future<std::string> service_;
};
#endif

class Convertisseur : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Settings import and defaults, as at a page set-up.
  void importe(const settings::Record& r);
  // A job file as the job entry opens it: counter at 0, pre-header written.
  void ouvreJob();
  // A whole job: pre-header, header, what corps writes, 'JF'; decoded, file closed.
  jobfile::Job jobAvec(const settings::Record& r, const std::function<void()>& corps = {});
  std::vector<std::uint8_t> octets() const;  // the job file so far
  jobfile::Job job() const { return jobfile::decode(octets()); }
  // Texts of the messages shown so far.
  static std::vector<std::string> messages();
};

// Everything written to a stream so far; the stream is left at its end.
std::vector<std::uint8_t> contenuFlux(FILE* f);

// Runs f and returns the message number it aborted with, or -1.
template <typename F>
int abandon(F&& f) {
  try {
    f();
  } catch (const AbandonJob& a) {
    return a.message;
  }
  return -1;
}

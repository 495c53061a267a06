// A fresh working folder per test and the job server on a port chosen at run
// time (MLAS_TCP_PORT=0); the PC is a loopback client on its own thread.
#pragma once

#include "build.h"
#include "prnReception.h"
#include "prnbuffer.h"
#include "process.h"
#include "tcpip.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <iterator>
#include <thread>
#include <unistd.h>

struct Reception : testing::Test {
    void SetUp() override
    {
        char modele[] = "/tmp/mlas-job-XXXXXX";
        dossier = mkdtemp(modele);
        ASSERT_EQ(chdir(dossier.c_str()), 0);
        setenv("MLAS_TCP_PORT", "0", 1);
        serveurTCPIP = InitServerTCP(PortServeurTCP());
        sockaddr_in a{};
        socklen_t n = sizeof a;
        getsockname(serveurTCPIP, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
        CommMode = 1, bStopReceptionThreads = 0;
    }
    void TearDown() override { CloseTCP(serveurTCPIP), std::filesystem::remove_all(dossier); }
    // Sends the bytes and closes; the reception may cut it short.
    std::jthread Pc(std::string octets)
    {
        return std::jthread([this, octets = std::move(octets)] {
            const int s = InitClientTCP("127.0.0.1", port);
            for (size_t fait = 0; s != -1 && fait < octets.size();) {
                const int n = SendTCP(s, octets.data() + fait, int(octets.size() - fait));
                fait = n > 0 ? fait + size_t(n) : octets.size();
            }
            CloseTCP(s);
        });
    }
    // Bytes of a job as the reception sees them, ending with the end record.
    static std::string Job(size_t taille)
    {
        std::string octets(taille, '\0');
        for (size_t i = 0; i < taille; ++i) octets[i] = char(i * 7 + i / 251);
        if (taille >= 6) octets.replace(taille - 6, 6, kFin);
        return octets;
    }
    static inline const std::string kFin{"\xFF\xFDJF\0\0", 6};
    static std::string Fichier(const char* nom)
    {
        return {std::istreambuf_iterator<char>(std::ifstream(nom, std::ios::binary).rdbuf()), {}};
    }
    template <typename F>
    static bool Attend(F condition)  // at most 5 s
    {
        for (int i = 0; i < 5000 && !condition(); ++i) usleep(1000);
        return condition();
    }
    std::string dossier;
    int port = 0;
};

inline const std::string kValide = build::kViper ? "" : "Taille fichier valide -> On le sauvegarde\n";

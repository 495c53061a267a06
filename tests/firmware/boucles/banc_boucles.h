// Bench of the start waits: the simulated DSP card running, a job in memory as
// the reception leaves it, the wait run on a thread of its own while the test
// plays the PC (jobs over loopback TCP) and the operator (the start input),
// and the console read back as it is written.
#pragma once

#include "../machine/banc_machine.h"
#include "AnalyseEnteteFichier.h"
#include "build.h"
#include "job_builder.h"
#include "mlas_boucles.h"
#include "mlas_main.h"
#include "prnReception.h"
#include "prnbuffer.h"
#include "tcpip.h"
#include "etat_marquage.h"
#include "etat_reception.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace banc {

using namespace std::chrono_literals;

inline constexpr auto kDelai = 10s;  // generous: what should happen takes milliseconds
inline const std::string kLampeAllumee = "OUT word=0x0200";
inline const std::string kLampeEteinte = "OUT word=0x0000";

// The console in a file that can be read while it is written.
class ConsoleLue {
public:
    explicit ConsoleLue(std::filesystem::path fichier) : fichier_(std::move(fichier))
    {
        std::fflush(stdout);
        sauve_ = dup(STDOUT_FILENO);
        const int fd = open(fichier_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        close(fd);
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
    }
    ~ConsoleLue()
    {
        std::fflush(stdout);
        dup2(sauve_, STDOUT_FILENO);
        close(sauve_);
    }
    std::string Texte() const
    {
        std::fflush(stdout);
        return Contenu(fichier_);
    }

private:
    std::filesystem::path fichier_;
    int sauve_ = -1;
};

// A marking job with its start instruction, as the PC sends it.
inline std::vector<uint8_t> JobDeMarquage(int fileType = 0, int32_t dx = 1000)
{
    jobfile::HeaderBlock h = jobfile::converterHeader(775, fileType);
    h.set(jobfile::ChDpiX, 300).set(jobfile::ChDpiY, 300).set(jobfile::ChUnite, 1);
    jobfile::Builder b;
    b.start(h).pu({jobfile::segment(100, 100)}).pd({jobfile::segment(static_cast<int16_t>(dx), 0)}).end();
    return b.bytes();
}

// A firmware upload job: the program follows its header.
inline std::vector<uint8_t> JobDeMiseAJour(const std::string& nom, const std::vector<uint8_t>& programme)
{
    uint8_t somme = 0;
    for (uint8_t o : programme) somme ^= o;
    jobfile::HeaderBlock h(240);
    h.name(nom).set(jobfile::ChOrigineX, static_cast<int32_t>(programme.size())).set(jobfile::ChOrigineY, somme);
    jobfile::Builder b;
    b.preHeader().tag("LF", 240).header(h).raw(programme);
    return b.bytes();
}

// The bytes the firmware keeps: the start instruction is eaten by the listener.
inline std::string SansInstruction(const std::vector<uint8_t>& job)
{
    return {job.begin() + 6, job.end()};
}

class Attente : public Machine {
protected:
    using Fonction = uint8_t (*)(uint8_t);
    // The wait of this build's production loop.
    static constexpr Fonction kAttente = build::kFibreLine ? LFWaitStartMarking : WaitStartMarking;

    void SetUp() override
    {
        Machine::SetUp();
        dsp.Demarre();
        ReinitMarquage();
        CommMode = 1;
        bStopReceptionThreads = 0;
        serveurTCPIP = InitServerTCP(0);
        sockaddr_in adresse{};
        socklen_t taille = sizeof adresse;
        getsockname(serveurTCPIP, reinterpret_cast<sockaddr*>(&adresse), &taille);
        port_ = ntohs(adresse.sin_port);
        console_ = std::make_unique<ConsoleLue>(carte.Dossier().Chemin() / "console.txt");
    }
    void TearDown() override
    {
        // The failures were written among the firmware's lines.
        if (HasFailure()) {
            const std::string texte = Console();
            console_.reset();
            std::fputs(texte.c_str(), stdout);
        }
        console_.reset();
        CloseTCP(serveurTCPIP);
        serveurTCPIP = -1;
        Machine::TearDown();
    }

    // The job in memory, as loaded from "tmpprn.prn" or received.
    static void EnMemoire(const std::vector<uint8_t>& job, uint8_t valide = 1)
    {
        PRNBuffClear(&RecepBuff);
        PRNBuffWriteBuff(&RecepBuff, job.data() + 6, static_cast<uint32_t>(job.size() - 6));
        reception.FichierOK = valide;
    }
    static std::string EnMemoire() { return {RecepBuff.data, RecepBuff.data + RecepBuff.count}; }

    std::future<uint8_t> Lance(Fonction attente, uint8_t premierPassage)
    {
        return std::async(std::launch::async, attente, premierPassage);
    }
    // The wait's result. One that does not end is made to (a job and the
    // start) so that the test fails instead of hanging.
    uint8_t Resultat(std::future<uint8_t>& attente)
    {
        if (attente.wait_for(kDelai) != std::future_status::ready) {
            ADD_FAILURE() << "the wait did not end\n" << Console();
            reception.FichierOK = 1;
            Start(true);
            if (attente.wait_for(kDelai) != std::future_status::ready) std::abort();
        }
        return attente.get();
    }

    void Start(bool appuye) { dsp.FixeEntrees({appuye, false}); }
    std::string Console() const { return console_->Texte(); }
    std::vector<std::string> Lampes() const { return carte.Trace({"OUT"}); }

    template <typename Condition>
    bool Jusqua(Condition condition) const
    {
        const auto fin = std::chrono::steady_clock::now() + kDelai;
        while (!condition() && std::chrono::steady_clock::now() < fin) std::this_thread::sleep_for(1ms);
        return condition();
    }
    // Until the console shows the text `fois` times from position `depuis` on.
    bool JusquaConsole(const std::string& texte, size_t fois = 1, size_t depuis = 0) const
    {
        return Jusqua([&] {
            const std::string tout = Console();
            const std::string c = tout.substr(std::min(depuis, tout.size()));
            size_t n = 0;
            for (size_t p = c.find(texte); p != std::string::npos; p = c.find(texte, p + 1)) ++n;
            return n >= fois;
        });
    }
    bool JusquaLampes(size_t n) const
    {
        return Jusqua([&] { return Lampes().size() >= n; });
    }

    // The PC: a job on one connection, then the end of its side; returns once
    // the firmware has closed the connection.
    void Envoie(const std::vector<uint8_t>& job) const
    {
        const int s = Connecte();
        ASSERT_GE(s, 0);
        ASSERT_EQ(send(s, job.data(), job.size(), MSG_NOSIGNAL), static_cast<ssize_t>(job.size()));
        shutdown(s, SHUT_WR);
        pollfd p{s, POLLIN, 0};
        char octet = 0;
        EXPECT_EQ(poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kDelai).count())), 1);
        EXPECT_EQ(recv(s, &octet, 1, 0), 0);
        close(s);
    }
    // A peer that connects and closes without a job.
    void ConnecteEtFerme() const
    {
        const int s = Connecte();
        ASSERT_GE(s, 0);
        close(s);
    }

private:
    int Connecte() const
    {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in adresse{};
        adresse.sin_family = AF_INET;
        adresse.sin_port = htons(static_cast<uint16_t>(port_));
        adresse.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(s, reinterpret_cast<sockaddr*>(&adresse), sizeof adresse) != 0) {
            close(s);
            return -1;
        }
        return s;
    }

    int port_ = 0;
    std::unique_ptr<ConsoleLue> console_;
};

}  // namespace banc

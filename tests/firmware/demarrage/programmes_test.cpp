// The programs as built, run as child processes on the simulated board: Ctrl-C
// during the start-up ends them by the signal after their stop lines; "-menu"
// shows the menu, the DSP program file found beside it, and an empty console
// ends the program.
#include "../board-sim/banc_essai.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <iterator>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using ::testing::Contains;
using ::testing::EndsWith;

const std::filesystem::path kProgrammes = MLAS_PROGRAMMES;

// A program started from `dossier` with the board's knobs pointing into a scratch folder.
class Programme {
public:
    Programme(const std::string& nom, const char* option, const std::filesystem::path& dossier, bool carteDmc)
    {
        banc::Ecrit(scratch_.Chemin() / "cpuinfo", "Hardware\t: Arcom VIPER\n");
        std::filesystem::create_directory(scratch_.Chemin() / "tty");
        const std::string chemin = (kProgrammes / nom).string();
        const std::string sortie = Console().string();
        std::vector<std::string> variables = {"MLAS_SIM_TRACE=" + Trace().string(),
                                              "MLAS_CPUINFO=" + (scratch_.Chemin() / "cpuinfo").string(),
                                              "MLAS_TTY_DIR=" + (scratch_.Chemin() / "tty").string(),
                                              std::string("MLAS_SIM_DMC=") + (carteDmc ? "1" : "0")};
        std::vector<char*> envp;
        for (auto& v : variables) envp.push_back(v.data());
        envp.push_back(nullptr);
        // A cross-built program runs under the emulator that runs this test.
        std::istringstream emulateur(MLAS_EMULATEUR);
        std::vector<std::string> mots{std::istream_iterator<std::string>(emulateur), {}};
        mots.push_back(chemin);
        if (option != nullptr) mots.emplace_back(option);
        std::vector<char*> argv;
        for (auto& m : mots) argv.push_back(m.data());
        argv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            const int fd = open(sortie.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int vide = open("/dev/null", O_RDONLY);  // a console with nothing to type
            if (fd >= 0 && vide >= 0 && dup2(fd, STDOUT_FILENO) >= 0 && dup2(vide, STDIN_FILENO) >= 0 &&
                chdir(dossier.c_str()) == 0) {
                execvpe(argv[0], argv.data(), envp.data());
            }
            _exit(127);
        }
    }
    ~Programme()
    {
        if (Statut() < 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    std::filesystem::path Trace() const { return scratch_.Chemin() / "trace.txt"; }
    std::filesystem::path Console() const { return scratch_.Chemin() / "console.txt"; }
    void Signal(int numero) const { kill(pid_, numero); }

    // The wait status, -1 while the program runs.
    int Statut()
    {
        if (statut_ < 0 && waitpid(pid_, &statut_, WNOHANG) != pid_) statut_ = -1;
        return statut_;
    }
    // Waits, generously for the sanitizer builds, until the condition holds or the program ends.
    bool Attend(const std::function<bool()>& condition)
    {
        const auto fin = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition() && Statut() < 0 && std::chrono::steady_clock::now() < fin) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

private:
    banc::DossierTemporaire scratch_;
    pid_t pid_ = -1;
    int statut_ = -1;
};

class CtrlC : public ::testing::TestWithParam<std::string> {};

TEST_P(CtrlC, DuringTheStartUpTheProgramStopsAndEndsByTheSignal)
{
    // Homing the rotation card keeps the program busy long enough to be interrupted.
    banc::DossierTemporaire dossier;
    const std::string dsp = GetParam() == "mlas-km250" ? "dsplaser.exe" : "dspLFV3.exe";
    std::filesystem::copy_file(kProgrammes / dsp, dossier.Chemin() / dsp);
    Programme programme(GetParam(), nullptr, dossier.Chemin(), true);
    ASSERT_TRUE(programme.Attend([&] { return !banc::Lignes(programme.Trace(), {"DMCMOVE"}).empty(); }))
        << banc::Contenu(programme.Console());
    programme.Signal(SIGINT);
    ASSERT_TRUE(programme.Attend([&] { return programme.Statut() >= 0; }));
    EXPECT_TRUE(WIFSIGNALED(programme.Statut()) && WTERMSIG(programme.Statut()) == SIGINT) << programme.Statut();
    EXPECT_THAT(banc::Contenu(programme.Console()),
                EndsWith("\nArrêt du programme demandé (Ctrl C)\nWatchdog stoppé\nProgramme arrêté\n"));
    EXPECT_THAT(banc::Lignes(programme.Trace()), Contains("WATCHDOG enable=0"));
}

INSTANTIATE_TEST_SUITE_P(Programmes, CtrlC, ::testing::Values("mlas-fibre", "mlas-km250"));

TEST(Programmes, MenuOptionShowsTheMenuAfterTheStartUpAndAnEmptyConsoleEndsIt)
{
    Programme programme("mlas-km250-viper", "-menu", kProgrammes, false);
    ASSERT_TRUE(programme.Attend([&] { return programme.Statut() >= 0; }));
    EXPECT_TRUE(WIFEXITED(programme.Statut()) && WEXITSTATUS(programme.Statut()) == 0) << programme.Statut();
    const std::string console = banc::Contenu(programme.Console());
    EXPECT_THAT(console, ::testing::StartsWith("QUILMARDE SOFTWARE  v2.00 25/03/2015"));
    EXPECT_THAT(console, ::testing::HasSubstr("Fin du chargement du DSP. Validation servomoteur\n\n ------"));
    EXPECT_THAT(console, EndsWith(" 9 - Quitter\n\nVotre choix : \nFin de la saisie console\nWatchdog stoppé\n"
                                  "Programme arrêté\n"));
    EXPECT_THAT(banc::Lignes(programme.Trace()), Contains("START word=0x4D4C run=1"));
}

}  // namespace

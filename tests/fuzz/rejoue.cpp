// Without libFuzzer: runs each file named, or each file of each folder named,
// through the target once, so the corpora replay as an ordinary test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille);

namespace {

void Rejoue(const std::filesystem::path& fichier)
{
    std::ifstream f(fichier, std::ios::binary);
    const std::vector<uint8_t> octets{std::istreambuf_iterator<char>(f), {}};
    std::fprintf(stderr, "%s\n", fichier.c_str());
    LLVMFuzzerTestOneInput(octets.data(), octets.size());
}

}  // namespace

int main(int argc, char** argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int nombre = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path chemin(argv[i]);
        if (std::filesystem::is_directory(chemin)) {
            std::vector<std::filesystem::path> fichiers;
            for (const auto& e : std::filesystem::directory_iterator(chemin))
                if (e.is_regular_file()) fichiers.push_back(e.path());
            std::sort(fichiers.begin(), fichiers.end());
            for (const auto& f : fichiers) Rejoue(f), ++nombre;
        } else {
            Rejoue(chemin), ++nombre;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", nombre);
    return nombre > 0 ? 0 : 1;
}

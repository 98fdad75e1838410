// The main of a fuzz target outside libFuzzer: runs the target once on an
// empty input and once on every file named or found in the folders named, so
// the tests replay the committed corpora with any compiler.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille);

namespace fs = std::filesystem;

namespace {

void Rejouer(const fs::path& fichier)
{
    std::ifstream f(fichier, std::ios::binary);
    const std::string octets((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    // A crash names the input it came from.
    std::fprintf(stderr, "%s\n", fichier.string().c_str());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(octets.data()), octets.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<fs::path> fichiers;
    for (int i = 1; i < argc; ++i) {
        if (!fs::is_directory(argv[i])) {
            fichiers.emplace_back(argv[i]);
            continue;
        }
        for (const auto& e : fs::recursive_directory_iterator(argv[i]))
            if (e.is_regular_file()) fichiers.push_back(e.path());
    }
    if (fichiers.empty()) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...\n", argv[0]);
        return 2;
    }
    std::sort(fichiers.begin(), fichiers.end());
    static const uint8_t vide[1] = {0};
    LLVMFuzzerTestOneInput(vide, 0);
    for (const auto& f : fichiers) Rejouer(f);
    std::printf("%zu inputs replayed\n", fichiers.size());
    return 0;
}

#pragma once
#include <filesystem>
#include <map>
#include <string>

// A fresh directory under the system's temporary folder, removed with its
// content when the object goes.
class CRepertoireTemp
{
public:
    explicit CRepertoireTemp(const std::string& prefixe = "otdr-test");
    ~CRepertoireTemp();
    CRepertoireTemp(const CRepertoireTemp&) = delete;
    CRepertoireTemp& operator=(const CRepertoireTemp&) = delete;

    const std::filesystem::path& Chemin() const { return m_chemin; }

    // Writes `contenu` to a file (parents made as needed) and returns its path.
    std::filesystem::path Ecrire(const std::string& relatif, const std::string& contenu) const;
    // Whole content of a file, empty when it cannot be read.
    static std::string Lire(const std::filesystem::path& p);
    // Every path below `racine` (relative) with its content, "<dir>" for a
    // directory; links are not followed.
    static std::map<std::string, std::string> Arbre(const std::filesystem::path& racine);

private:
    std::filesystem::path m_chemin;
};

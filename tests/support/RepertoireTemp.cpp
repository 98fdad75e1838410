#include "support/RepertoireTemp.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

CRepertoireTemp::CRepertoireTemp(const std::string& prefixe)
{
    std::string modele = (std::filesystem::temp_directory_path() / (prefixe + "-XXXXXX")).string();
    std::vector<char> buf(modele.begin(), modele.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) m_chemin = buf.data();
}

CRepertoireTemp::~CRepertoireTemp()
{
    std::error_code ec;
    if (!m_chemin.empty()) std::filesystem::remove_all(m_chemin, ec);
}

std::filesystem::path CRepertoireTemp::Ecrire(const std::string& relatif, const std::string& contenu) const
{
    auto p = m_chemin / relatif;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << contenu;
    return p;
}

std::string CRepertoireTemp::Lire(const std::filesystem::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::map<std::string, std::string> CRepertoireTemp::Arbre(const std::filesystem::path& racine)
{
    std::map<std::string, std::string> m;
    for (auto it = std::filesystem::recursive_directory_iterator(racine);
         it != std::filesystem::recursive_directory_iterator(); ++it)
        m[it->path().lexically_relative(racine).string()] =
            it->is_symlink() ? "-> " + std::filesystem::read_symlink(it->path()).string()
            : it->is_directory() ? std::string("<dir>") : Lire(it->path());
    return m;
}

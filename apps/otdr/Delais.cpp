#include "Delais.h"

#include <cstdio>

namespace {

// As the channel writes a limit in its messages: "30 s", "0.5 s".
std::string Secondes(long nMs)
{
    char t[32];
    std::snprintf(t, sizeof t, "%g s", static_cast<double>(nMs) / 1000.0);
    return t;
}

} // namespace

long AttenteParLecture(long nMs) { return nMs > 1 ? nMs / 2 : 1; }

std::string AttenteReelle(const std::string& raison, long nMs)
{
    const std::string moitie = "within " + Secondes(AttenteParLecture(nMs));
    std::string texte = raison;
    const std::string entier = "within " + Secondes(nMs);
    for (size_t p = texte.find(moitie); p != std::string::npos; p = texte.find(moitie, p + entier.size()))
        texte.replace(p, moitie.size(), entier);
    return texte;
}

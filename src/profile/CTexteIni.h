#pragma once
// The text of an INI profile, kept line by line so that setting or removing
// one value changes that line only: comments, blank lines, lines that are
// neither a section, a "key = value" pair nor a comment, later duplicates of a
// key, line endings (LF or CR LF) and a UTF-8 byte order mark all stay as
// they were (internal to the profile stores).
//
// Section and key names are compared without regard to ASCII case. A key is
// read from the first section of that name that holds it; later duplicates are
// kept but never read. Values are taken with the blanks around them removed.

#include <string>
#include <vector>

class CTexteIni
{
public:
    // The longest file taken for a profile.
    static constexpr size_t TAILLE_MAX = 1u << 20;

    // True when the bytes can be a profile: UTF-8 text without NUL, at most
    // TAILLE_MAX bytes. Otherwise false with the reason, for people.
    static bool EstProfil(const std::string& contenu, std::string& strRaison);

    explicit CTexteIni(const std::string& contenu);

    // The value as stored (blanks around it removed); false when absent.
    bool Lire(const std::string& section, const std::string& cle, std::string& valeur) const;
    // Replaces the first occurrence of the key, or adds it at the end of the
    // section's first occurrence, or adds the section at the end of the text.
    void Ecrire(const std::string& section, const std::string& cle, const std::string& valeur);
    // Removes every occurrence of the key in every section of that name.
    void Supprimer(const std::string& section, const std::string& cle);

    std::string Texte() const;

private:
    enum class eGenre { Autre, Section, Cle };
    struct tLigne
    {
        eGenre eType = eGenre::Autre;
        std::string strNom;    // section or key name, lower case
        size_t nSection = 0;   // index of the section header above it (npos: none or unreadable)
    };

    std::vector<tLigne> Analyser() const;
    // Index of the key's first line, or npos.
    size_t Trouver(const std::vector<tLigne>& analyse, const std::string& section, const std::string& cle) const;

    std::string m_strBom;              // the byte order mark, if the text began with one
    std::vector<std::string> m_lignes; // without their line feed (a CR before it stays)
    std::string m_strFinLigne = "\n";  // for lines added
    bool m_bFinaleTerminee = true;     // the last line ended with a line feed
};

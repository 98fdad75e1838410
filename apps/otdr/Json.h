#pragma once
// The --json output of otdr: one JSON document (RFC 8259) a run, built in
// memory and printed at once, so a reader never sees half of one.

#include <cstdint>
#include <string>
#include <vector>

// A string as a JSON string literal, quotes included. The output is UTF-8:
// bytes that are not well-formed UTF-8 become U+FFFD. Controls (C0, DEL, C1)
// and the bidirectional overrides are written \uXXXX, so a document shown on
// a terminal cannot drive it either.
std::string ChaineJson(const std::string& strTexte);

// Builds a document in order: objects and arrays opened and closed, keys and
// values, commas placed by the writer.
class CEcrivainJson
{
public:
    CEcrivainJson& DebutObjet();
    CEcrivainJson& FinObjet();
    CEcrivainJson& DebutTableau();
    CEcrivainJson& FinTableau();
    // The key of the next value (inside an object only).
    CEcrivainJson& Cle(const std::string& strCle);
    CEcrivainJson& Valeur(const std::string& strValeur);
    CEcrivainJson& Valeur(const char* szValeur) { return Valeur(std::string(szValeur)); }
    CEcrivainJson& Valeur(int64_t nValeur);
    CEcrivainJson& Valeur(uint64_t nValeur);
    CEcrivainJson& Valeur(int nValeur) { return Valeur(static_cast<int64_t>(nValeur)); }
    CEcrivainJson& Valeur(bool bValeur);
    CEcrivainJson& Nul();
    // A document written elsewhere, placed as the next value as it stands.
    CEcrivainJson& Brut(const std::string& strJson);

    const std::string& Texte() const { return m_strTexte; }

private:
    void AvantValeur();

    std::string m_strTexte;
    std::vector<bool> m_premiers;   // per open container: nothing written in it yet
    bool m_bApresCle = false;
};

// The one-line JSON form of a failure for standard error:
// {"error":"...","status":N}.
std::string ErreurJson(const std::string& strMessage, int nSortie);

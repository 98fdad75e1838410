#include "Json.h"

#include <cstdio>
#include <cstring>

#include "Affichage.h"
#include "common/Conversions.h"

namespace {

void Echapper(std::string& r, uint32_t c)
{
    char t[8];
    std::snprintf(t, sizeof t, "\\u%04x", static_cast<unsigned>(c));
    r += t;
}

// The two-character forms JSON gives some characters; null for the others.
const char* FormeCourte(char32_t c)
{
    switch (c) {
    case '"': return "\\\"";
    case '\\': return "\\\\";
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: return nullptr;
    }
}

} // namespace

std::string ChaineJson(const std::string& s)
{
    std::string r;
    r.reserve(s.size() + 2);
    r += '"';
    for (size_t i = 0; i < s.size();) {
        char32_t c = 0;
        const size_t n = LireCaractereUtf8(s, i, c);
        if (n == 0) {
            r += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (const char* forme = FormeCourte(c))
            r += forme;
        else if (EstControleTerminal(c))
            Echapper(r, c);
        else
            r.append(s, i, n);
        i += n;
    }
    r += '"';
    return r;
}

void CEcrivainJson::AvantValeur()
{
    if (m_bApresCle) {
        m_bApresCle = false;
        return;
    }
    if (!m_premiers.empty()) {
        if (!m_premiers.back()) m_strTexte += ',';
        m_premiers.back() = false;
    }
}

CEcrivainJson& CEcrivainJson::Ouvrir(char c)
{
    AvantValeur();
    m_strTexte += c;
    m_premiers.push_back(true);
    return *this;
}

CEcrivainJson& CEcrivainJson::Fermer(char c)
{
    m_strTexte += c;
    m_premiers.pop_back();
    return *this;
}

CEcrivainJson& CEcrivainJson::Cle(const std::string& cle)
{
    AvantValeur();
    m_strTexte += ChaineJson(cle);
    m_strTexte += ':';
    m_bApresCle = true;
    return *this;
}

CEcrivainJson& CEcrivainJson::Valeur(const std::string& v)
{
    AvantValeur();
    m_strTexte += ChaineJson(v);
    return *this;
}

CEcrivainJson& CEcrivainJson::Valeur(int64_t n)
{
    AvantValeur();
    m_strTexte += std::to_string(n);
    return *this;
}

CEcrivainJson& CEcrivainJson::Valeur(uint64_t n)
{
    AvantValeur();
    m_strTexte += std::to_string(n);
    return *this;
}

CEcrivainJson& CEcrivainJson::Valeur(bool b)
{
    AvantValeur();
    m_strTexte += b ? "true" : "false";
    return *this;
}

CEcrivainJson& CEcrivainJson::Nul()
{
    AvantValeur();
    m_strTexte += "null";
    return *this;
}

CEcrivainJson& CEcrivainJson::Brut(const std::string& json)
{
    AvantValeur();
    m_strTexte += json;
    return *this;
}

std::string ErreurJson(const std::string& message, int nSortie)
{
    CEcrivainJson j;
    j.DebutObjet().Cle("error").Valeur(message).Cle("status").Valeur(nSortie).FinObjet();
    return j.Texte();
}

namespace {

bool LireHex4(const std::string& s, size_t& i, uint32_t& c)
{
    if (i + 4 > s.size()) return false;
    c = 0;
    for (size_t k = 0; k < 4; ++k, ++i) {
        const char h = s[i];
        c <<= 4;
        if (h >= '0' && h <= '9') c |= static_cast<uint32_t>(h - '0');
        else if (h >= 'a' && h <= 'f') c |= static_cast<uint32_t>(h - 'a' + 10);
        else if (h >= 'A' && h <= 'F') c |= static_cast<uint32_t>(h - 'A' + 10);
        else return false;
    }
    return true;
}

// The character of an escape whose backslash is behind i; i ends past it.
bool LireEchappement(const std::string& s, size_t& i, std::string& r)
{
    if (i >= s.size()) return false;
    const char e = s[i++];
    static const char kSimples[] = "\"\\/bfnrt";
    static const char kValeurs[] = "\"\\/\b\f\n\r\t";
    if (const char* p = std::strchr(kSimples, e); p && e) {
        r += kValeurs[p - kSimples];
        return true;
    }
    uint32_t u = 0;
    if (e != 'u' || !LireHex4(s, i, u)) return false;
    if (u >= 0xDC00 && u <= 0xDFFF) return false;
    if (u >= 0xD800 && u <= 0xDBFF) {
        // A high surrogate stands only with its low half, written next.
        uint32_t bas = 0;
        if (i + 2 > s.size() || s[i] != '\\' || s[i + 1] != 'u') return false;
        i += 2;
        if (!LireHex4(s, i, bas) || bas < 0xDC00 || bas > 0xDFFF) return false;
        u = 0x10000 + ((u - 0xD800) << 10) + (bas - 0xDC00);
    }
    AjouterUtf8(r, u);
    return true;
}

// A JSON string literal starting at i (its opening quote); i ends past its closing one.
bool LireChaine(const std::string& s, size_t& i, std::string& r)
{
    if (i >= s.size() || s[i] != '"') return false;
    for (++i; i < s.size();) {
        const char c = s[i++];
        if (c == '"') return true;
        if (static_cast<unsigned char>(c) < 0x20) return false;
        if (c != '\\')
            r += c;
        else if (!LireEchappement(s, i, r))
            return false;
    }
    return false;
}

} // namespace

bool LireErreurJson(const std::string& ligne, std::string& message)
{
    const std::string debut = "{\"error\":";
    if (ligne.compare(0, debut.size(), debut) != 0) return false;
    size_t i = debut.size();
    std::string m;
    if (!LireChaine(ligne, i, m) || ligne.compare(i, 10, ",\"status\":") != 0) return false;
    i += 10;
    const size_t fin = ligne.find_first_not_of("0123456789", i);
    if (fin == i || fin == std::string::npos || ligne.substr(fin) != "}") return false;
    message = m;
    return true;
}

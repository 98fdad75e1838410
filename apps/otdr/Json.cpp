#include "Json.h"

#include <cstdio>

namespace {

void Echapper(std::string& r, uint32_t c)
{
    char t[8];
    std::snprintf(t, sizeof t, "\\u%04x", static_cast<unsigned>(c));
    r += t;
}

// Length of the well-formed UTF-8 sequence at i (2 to 4 bytes; no overlong
// form, no surrogate, nothing past U+10FFFF) and its code point; 0 when there is none.
size_t Sequence(const std::string& s, size_t i, uint32_t& c)
{
    const auto o = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char b = o(0);
    size_t n;
    uint32_t min;
    if (b >= 0xC2 && b <= 0xDF) { n = 2; c = b & 0x1F; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { n = 3; c = b & 0x0F; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { n = 4; c = b & 0x07; min = 0x10000; }
    else return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((o(k) & 0xC0) != 0x80) return 0;
        c = (c << 6) | (o(k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return n;
}

} // namespace

std::string ChaineJson(const std::string& s)
{
    std::string r;
    r.reserve(s.size() + 2);
    r += '"';
    for (size_t i = 0; i < s.size();) {
        const unsigned char o = static_cast<unsigned char>(s[i]);
        if (o < 0x80) {
            switch (o) {
            case '"': r += "\\\""; break;
            case '\\': r += "\\\\"; break;
            case '\n': r += "\\n"; break;
            case '\r': r += "\\r"; break;
            case '\t': r += "\\t"; break;
            default:
                if (o < 0x20 || o == 0x7F) Echapper(r, o);
                else r += static_cast<char>(o);
            }
            ++i;
            continue;
        }
        uint32_t c = 0;
        const size_t n = Sequence(s, i, c);
        if (n == 0) {
            r += "\xEF\xBF\xBD";
            ++i;
        } else if (c <= 0x9F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069)) {
            Echapper(r, c);
            i += n;
        } else {
            r.append(s, i, n);
            i += n;
        }
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

CEcrivainJson& CEcrivainJson::DebutObjet()
{
    AvantValeur();
    m_strTexte += '{';
    m_premiers.push_back(true);
    return *this;
}

CEcrivainJson& CEcrivainJson::FinObjet()
{
    m_strTexte += '}';
    m_premiers.pop_back();
    return *this;
}

CEcrivainJson& CEcrivainJson::DebutTableau()
{
    AvantValeur();
    m_strTexte += '[';
    m_premiers.push_back(true);
    return *this;
}

CEcrivainJson& CEcrivainJson::FinTableau()
{
    m_strTexte += ']';
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

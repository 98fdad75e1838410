// Identification of an instrument (CAppareilBaseTcp::Identifier) over a real
// loopback connection: the fuzzer plays an instrument whose status checks
// pass and whose "*IDN?" reply is the input.
//
// Invariants: identifying succeeds; of the reply's first line (a NUL, CR or
// LF ends it), the second comma-separated field becomes the model and what
// follows the third comma the version (with fewer fields: the last one); a
// reply without a comma changes neither; the line is kept as received, for
// the message that says why a reply named no model.

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "Bouclage.h"
#include "Invariant.h"
#include "comm/CAppareilBaseTcpIp.h"
#include "common/Conversions.h"

namespace {

const wchar_t* const AVANT = L"(before)";

std::vector<std::wstring> Champs(const std::wstring& ligne)
{
    std::vector<std::wstring> champs(1);
    for (wchar_t c : ligne) {
        if (c == L',') champs.emplace_back();
        else champs.back() += c;
    }
    return champs;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* donnees, size_t taille)
{
    // An identification is a short line; long replies are the reply reader's target.
    if (taille > 4096) return 0;
    const std::string idn(reinterpret_cast<const char*>(donnees), taille);

    CAppareilBaseTcpIp appareil;
    tDelaisCom delais;
    delais.nAttenteReponseMs = 5000;  // never reached: the instrument answers at once
    delais.nPauseMs = 0;
    appareil.SetDelais(delais);
    appareil.SetModele(AVANT);
    appareil.SetVersion(AVANT);
    short r;
    {
        CBouclage pair(appareil);
        std::thread instrument([&pair, &idn] {
            for (std::string ligne; pair.LireLigne(ligne);) {
                if (ligne == "*STB?" || ligne == "*ESR?") pair.Envoyer("0\r\n");
                else if (ligne == "*IDN?") pair.Envoyer(idn + "\n");
            }
        });
        r = appareil.Identifier();
        appareil.Fermer();
        instrument.join();
    }
    // A second line behind the reply makes it doubtful: "*IDN?" is asked again,
    // the same two lines come back, and the exchange fails storing nothing.
    if (r != 0) {
        VERIFIER(idn.find('\n') != std::string::npos);
        VERIFIER(appareil.GetModele() == AVANT && appareil.GetVersion() == AVANT);
        return 0;
    }

    const std::wstring premiere = AnsiToWide(idn.substr(0, idn.find_first_of(std::string("\0\r\n", 3))));
    const std::vector<std::wstring> champs = Champs(premiere);
    const std::wstring modele = appareil.GetModele(), version = appareil.GetVersion();
    // What a failure to identify quotes is that same line.
    VERIFIER(static_cast<const std::wstring&>(appareil.GetReponseIdentification()) == premiere);
    // Identified: a maker and a model, neither blank. Anything else stores nothing.
    auto present = [](const std::wstring& champ) { return champ.find_first_not_of(L" \t") != std::wstring::npos; };
    if (champs.size() < 2 || !present(champs[0]) || !present(champs[1])) {
        VERIFIER(modele == AVANT && version == AVANT);
        return 0;
    }
    VERIFIER(modele == champs[1]);
    if (champs.size() == 2) {
        VERIFIER(version.empty());
    } else {
        // The version keeps its commas.
        const size_t nDebut = std::min<size_t>(champs.size() - 1, 3);
        std::wstring attendue = champs[nDebut];
        for (size_t i = nDebut + 1; i < champs.size(); ++i) attendue += L"," + champs[i];
        VERIFIER(version == attendue);
    }
    return 0;
}

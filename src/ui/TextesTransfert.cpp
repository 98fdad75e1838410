#include "ui/TextesTransfert.h"

#include <cstdio>
#include <cwchar>

#include "common/Dates.h"

namespace TextesTransfert {

CString TexteTaille(uint64_t nTaille)
{
    const double d = static_cast<double>(nTaille);
    CString s;
    if (d < 2047.0)
        s.Format(L"%d", static_cast<int>(nTaille));
    else if (d < 2097151.0)
        s.Format(L"%.1f k", d / 1024.0);
    else if (d < 2147483647.0)
        s.Format(L"%.1f M", d / 1048576.0);
    else
        s.Format(L"%.1f G", d / 1073741824.0);
    return s;
}

namespace {

CString TexteCalendrier(const std::tm* pTm)
{
    if (!pTm || pTm->tm_year + 1900 < 0 || pTm->tm_year + 1900 > 9999)
        return CString(L"Unknown");
    CString s;
    s.Format(L"%02d/%02d/%04d %02d:%02d:%02d", pTm->tm_mon + 1, pTm->tm_mday, pTm->tm_year + 1900, pTm->tm_hour,
             pTm->tm_min, pTm->tm_sec);
    return s;
}

} // namespace

CString TexteDate(std::time_t t)
{
    std::tm tmUtc{};
#ifdef _WIN32
    return TexteCalendrier(gmtime_s(&tmUtc, &t) == 0 ? &tmUtc : nullptr);
#else
    return TexteCalendrier(gmtime_r(&t, &tmUtc));
#endif
}

CString TexteDateLocale(std::time_t t)
{
    std::tm tmLocal{};
#ifdef _WIN32
    return TexteCalendrier(localtime_s(&tmLocal, &t) == 0 ? &tmLocal : nullptr);
#else
    return TexteCalendrier(localtime_r(&t, &tmLocal));
#endif
}

CString DateAffichee(const CString& strDateUtc)
{
    const long long t = DateUtc(strDateUtc);
    return t != 0 ? TexteDateLocale(static_cast<std::time_t>(t)) : strDateUtc;
}

long long DateUtc(const CString& strTexte)
{
    int mo = 0, j = 0, a = 0, h = 0, mi = 0, se = 0;
    wchar_t reste = 0;
    if (std::swscanf(strTexte.c_str(), L"%2d/%2d/%4d %2d:%2d:%2d%lc", &mo, &j, &a, &h, &mi, &se, &reste) != 6)
        return 0;
    if (mo < 1 || mo > 12 || j < 1 || j > 31 || h > 23 || mi > 59 || se > 60 || a < 1970)
        return 0;
    return JoursDepuis1970(a, mo, j) * 86400 + h * 3600 + mi * 60 + se;
}

long long DateUtc(const tInfosFichierFtp& fichier)
{
    return fichier.m_nDateUtc != 0 ? static_cast<long long>(fichier.m_nDateUtc) : DateUtc(fichier.m_strDate);
}

bool NomRepertoireValide(const CString& strNom)
{
    static const wchar_t kInterdits[] = L"\\/:*?<>\"|\r\n";
    for (wchar_t c : strNom) {
        if (c == L'\0' || std::wcschr(kInterdits, c))
            return false;
    }
    CString s(strNom);
    s.Trim();
    return !(s.IsEmpty() || s == L"." || s == L"..");
}

bool NomLocalSur(const CString& strNom)
{
    if (strNom.empty() || strNom == L"." || strNom == L"..")
        return false;
    for (wchar_t c : strNom) {
        if (c == L'/' || c == L'\0')
            return false;
#ifdef _WIN32
        if (c == L'\\')
            return false;
#endif
    }
    return true;
}

} // namespace TextesTransfert

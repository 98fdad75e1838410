#include "ui/TextesTransfert.h"

#include <cwchar>

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

CString TexteDate(std::time_t t)
{
    std::tm tmUtc{};
#ifdef _WIN32
    if (gmtime_s(&tmUtc, &t) != 0)
        return CString(L"Unknown");
#else
    if (!gmtime_r(&t, &tmUtc))
        return CString(L"Unknown");
#endif
    if (tmUtc.tm_year + 1900 < 0 || tmUtc.tm_year + 1900 > 9999)
        return CString(L"Unknown");
    CString s;
    s.Format(L"%02d/%02d/%04d %02d:%02d:%02d", tmUtc.tm_mon + 1, tmUtc.tm_mday,
             tmUtc.tm_year + 1900, tmUtc.tm_hour, tmUtc.tm_min, tmUtc.tm_sec);
    return s;
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

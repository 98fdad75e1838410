#include <gtest/gtest.h>

#include "ftp/AnalyseListeFtp.h"
#include "ftp/RecepteurListeFtp.h"

#include <string>

namespace {

struct tCas
{
    const char* ligne;
    bool bLue;
    const char* nom;
    const wchar_t* attributs;
    uint64_t taille;
    const wchar_t* date;
};

void Verifier(const tCas& cas, bool bLue, const tEntreeListeFtp& e)
{
    SCOPED_TRACE(cas.ligne);
    ASSERT_EQ(bLue, cas.bLue);
    if (!bLue)
        return;
    EXPECT_EQ(e.strNom, cas.nom);
    EXPECT_EQ(AttributsFtp(e), cas.attributs);
    EXPECT_EQ(e.nTaille, cas.taille);
    EXPECT_EQ(FormaterDateFtp(e), cas.date);
}

} // namespace

TEST(FtpListing, MlsdLines)
{
    const tCas cas[] = {
        // pyftpdlib
        {"modify=20240131151500;perm=radfwMT;size=1048576;type=file;unique=fe00g1; Trace 0001.sor", true,
         "Trace 0001.sor", L"n", 1048576, L"01/31/2024 15:15:00"},
        {"modify=20231224080910;perm=eldfmMTcp;size=4096;type=dir;unique=fe00g2; Mesures", true, "Mesures",
         L"d", 4096, L"12/24/2023 08:09:10"},
        // vsftpd-like / ProFTPD with UNIX facts, fractional seconds, cdir and pdir
        {"type=cdir;modify=20200101000000;UNIX.mode=0755; .", true, ".", L"d", 0, L"01/01/2020 00:00:00"},
        {"type=pdir;modify=20200101000000;UNIX.mode=0755; ..", true, "..", L"d", 0, L"01/01/2020 00:00:00"},
        {"Type=File;Size=12;Modify=20240229235959.123;UNIX.mode=0444; ro.sor", true, "ro.sor", L"r", 12,
         L"02/29/2024 23:59:59"},
        {"type=file;size=3;perm=r; locked.sor", true, "locked.sor", L"r", 3, L"Invalid DateTime"},
        // name with "; " and leading facts only up to the first space
        {"type=file;size=1;modify=20240101010101; a; b.sor", true, "a; b.sor", L"n", 1, L"01/01/2024 01:01:01"},
        // out-of-range or impossible dates
        {"type=file;size=1;modify=00990101000000; old.sor", true, "old.sor", L"n", 1, L"Invalid DateTime"},
        {"type=file;size=1;modify=20230230000000; feb30.sor", true, "feb30.sor", L"n", 1, L"Invalid DateTime"},
        {"type=OS.unix=symlink;size=7;modify=20240101000000; lien", true, "lien", L"n", 7, L"01/01/2024 00:00:00"},
        // unreadable
        {"size=1;modify=20240101000000; notype", false, "", L"", 0, L""},
        {"garbage", false, "", L"", 0, L""},
        {"", false, "", L"", 0, L""},
    };
    for (const tCas& c : cas) {
        tEntreeListeFtp e;
        Verifier(c, AnalyserLigneMlsd(c.ligne, e), e);
    }
}

TEST(FtpListing, UnixAndDosListLines)
{
    // "Today" for year-less dates: 15 June 2024.
    const tCas cas[] = {
        // GNU ls / vsftpd, time instead of year: this year
        {"-rw-r--r--    1 1000     1000        52224 Jun 03 14:05 trace_1550nm.sor", true, "trace_1550nm.sor",
         L"n", 52224, L"06/03/2024 14:05:00"},
        // time in a later month than today: last year
        {"-rw-r--r--    1 0        0              10 Dec 24 09:30 xmas.sor", true, "xmas.sor", L"n", 10,
         L"12/24/2023 09:30:00"},
        // year instead of time, directory, numeric ids
        {"drwxr-xr-x    2 0        0            4096 Mar  3  2021 Mesures", true, "Mesures", L"d", 4096,
         L"03/03/2021 00:00:00"},
        // no group column, name with spaces
        {"-r--r--r--   1 owner     1234 Jan 15  2022 my trace file.sor", true, "my trace file.sor", L"r", 1234,
         L"01/15/2022 00:00:00"},
        // symbolic link
        {"lrwxrwxrwx    1 root     root            7 Feb 10  2020 last -> Mesures/x.sor", true, "last", L"n",
         7, L"02/10/2020 00:00:00"},
        // long-iso time style, large size
        {"-rw-rw-r-- 1 user group 5368709120 2023-11-05 07:08 big.bin", true, "big.bin", L"n", 5368709120ULL,
         L"11/05/2023 07:08:00"},
        // embedded-server style with link count and owner names missing
        {"-rwxrwxrwx 1 noone nogroup 900 Apr 1 2019 a.sor", true, "a.sor", L"n", 900, L"04/01/2019 00:00:00"},
        // DOS / IIS, 12-hour times and <DIR>
        {"01-31-24  03:15PM       <DIR>          Traces 2024", true, "Traces 2024", L"d", 0,
         L"01/31/2024 15:15:00"},
        {"12-05-98  12:01AM                 1024 old.sor", true, "old.sor", L"n", 1024, L"12/05/1998 00:01:00"},
        {"07-04-2023  12:30PM            2,048 noon.sor", true, "noon.sor", L"n", 2048, L"07/04/2023 12:30:00"},
        // DOS with 24-hour times
        {"02-29-2024  23:59               77 leap.sor", true, "leap.sor", L"n", 77, L"02/29/2024 23:59:00"},
        // IIS with four-digit years first (24 h), files and <DIR>, the name at its column
        {"2002-09-02  19:06                 9730 readme.txt", true, "readme.txt", L"n", 9730,
         L"09/02/2002 19:06:00"},
        {"2002-09-02  19:06       <DIR>          WindowsXP", true, "WindowsXP", L"d", 0, L"09/02/2002 19:06:00"},
        {"2024-01-31  07:05       <DIR>            two blanks", true, "  two blanks", L"d", 0,
         L"01/31/2024 07:05:00"},
        // Windows servers with thousands separators, comma or dot
        {"2023-12-01  08:00              9,730 sep.sor", true, "sep.sor", L"n", 9730, L"12/01/2023 08:00:00"},
        {"12-01-2023  08:00AM        1.234.567 dot.sor", true, "dot.sor", L"n", 1234567, L"12/01/2023 08:00:00"},
        {"12-01-2023  08:00AM          1,23 bad.sor", false, "", L"", 0, L""},
        // leading blanks belong to the name (GNU ls, IIS)
        {"-rw-r--r--    1 0        0               5 Jan 02  2024  lead.sor", true, " lead.sor", L"n", 5,
         L"01/02/2024 00:00:00"},
        {"12-05-98  12:01AM                 1024  lead.sor", true, " lead.sor", L"n", 1024,
         L"12/05/1998 00:01:00"},
        // a link keeps its name only, also when the target holds blanks or arrows
        {"lrwxrwxrwx    1 0        0              11 Jan 02  2024 l -> a -> b", true, "l", L"n", 11,
         L"01/02/2024 00:00:00"},
        // unreadable: totals, blank, broken
        {"total 24", false, "", L"", 0, L""},
        {"", false, "", L"", 0, L""},
        {"-rw-r--r-- 1 a b notanumber Jan 01 2020 x", false, "", L"", 0, L""},
        {"13-45-2024  99:99  12 x", false, "", L"", 0, L""},
    };
    for (const tCas& c : cas) {
        tEntreeListeFtp e;
        Verifier(c, AnalyserLigneList(c.ligne, e, 2024, 6, 15), e);
    }
}

TEST(FtpListing, EmbeddedServersListLines)
{
    // Servers that instruments and controllers embed, each line in the form
    // its source shows. "Today" for year-less dates: 15 June 2024.
    const tCas cas[] = {
        // lwIP's contributed ftpd (Florian Schulze), ftpd.c: every file
        // "-rw-rw-rw-   1 user     ftp  %11ld %s %02i %02i:%02i %s" this year,
        // "... %s %02i %5i %s" before (e.g. liyayong572/bk_avdk_smp,
        // ap/components/app/ftp/ftpd.c).
        {"-rw-rw-rw-   1 user     ftp         52224 Mar 05 14:07 trace_0001.sor", true, "trace_0001.sor", L"n",
         52224, L"03/05/2024 14:07:00"},
        {"-rw-rw-rw-   1 user     ftp          2048 Mar 05  2019 old.sor", true, "old.sor", L"n", 2048,
         L"03/05/2019 00:00:00"},
        // lwIP ftpd over FatFs, a card that never had a date (FAT's epoch):
        // stackoverflow.com/questions/1013486, answer 40045894.
        {"drw-rw-rw-   1 user     ftp            0 Jan 01  1980 SD", true, "SD", L"d", 0, L"01/01/1980 00:00:00"},
        // Windows CE's FTP server answers SYST "Windows_CE version 7.0" and
        // lists in the DOS form (FluentFTP, Servers/Handlers/WindowsCeServer.cs);
        // a controller's listing quoted in a public LIST parser shows the
        // 24-hour clock without AM/PM and two-digit years.
        {"10-07-26  08:19                   22 MDIBlock", true, "MDIBlock", L"n", 22, L"10/07/2026 08:19:00"},
        {"01-12-26  15:18       <DIR>          M-TEKNIK", true, "M-TEKNIK", L"d", 0, L"01/12/2026 15:18:00"},
        // wodFTPD, an FTP server component for Windows applications: its
        // DirFormats documentation (weonlydo.com, wodFTPD-Enumerations-
        // DirFormats.html), Windows form with single blanks, then UNIX form.
        {"04-05-02 02:18PM 462848 test1.dll", true, "test1.dll", L"n", 462848, L"04/05/2002 14:18:00"},
        {"06-29-01 05:38PM <DIR> test4", true, "test4", L"d", 0, L"06/29/2001 17:38:00"},
        {"-rw-r--r-- 1 root root 462848 Apr 5  2002 test1.dll", true, "test1.dll", L"n", 462848,
         L"04/05/2002 00:00:00"},
        {"drw-r--r-- 1 root root      0 Jun 29 2001 test4", true, "test4", L"d", 0, L"06/29/2001 00:00:00"},
        // busybox ftpd (networking/ftpd.c, popen_ls) lists with busybox's own
        // "ls -lA": links "%4u", owner and group "%-8.8s", size "%9u"; a device
        // without a clock shows the epoch.
        {"-rw-r--r--    1 root     root         52224 Jun  3 14:05 trace_1550nm.sor", true, "trace_1550nm.sor",
         L"n", 52224, L"06/03/2024 14:05:00"},
        {"drwxr-xr-x    2 root     root             0 Jan  1  1970 Traces", true, "Traces", L"d", 0,
         L"01/01/1970 00:00:00"},
        // StingRay FTP Server 3.0.2 drops the type letter
        // (github.com/sparkeh9/CoreFTP/issues/29): no rule reads it, so it is
        // left out rather than guessed.
        {"rw-rw-rw-          0  464195454  464195454 Jul  1  2016 G53_EZ_s234_Batch_01.zip", false, "", L"", 0, L""},
    };
    for (const tCas& c : cas) {
        tEntreeListeFtp e;
        Verifier(c, AnalyserLigneList(c.ligne, e, 2024, 6, 15), e);
    }
}

TEST(FtpListing, IsoDatesSayTheirPrecision)
{
    // The date as the listing gave it, no finer: MLSD to the second, a LIST
    // line with a time to the minute (or second), one with a year to the day.
    const struct
    {
        bool bMlsd;
        const char* ligne;
        const char* iso;
    } cas[] = {
        {true, "type=file;size=1;modify=20240131151507; a", "2024-01-31T15:15:07Z"},
        {false, "-rw-r--r-- 1 a b 1 Jun 03 14:05 a", "2024-06-03T14:05Z"},
        {false, "-rw-r--r-- 1 a b 1 2023-11-05 07:08:09 a", "2023-11-05T07:08:09Z"},
        {false, "-rw-r--r-- 1 a b 1 Mar  3  2021 a", "2021-03-03"},
        {false, "01-31-24  03:15PM  1 a", "2024-01-31T15:15Z"},
        {true, "type=file;size=1;modify=20230230000000; a", ""},
        {true, "type=file;size=1; a", ""},
    };
    for (const auto& c : cas) {
        SCOPED_TRACE(c.ligne);
        tEntreeListeFtp e;
        ASSERT_TRUE(c.bMlsd ? AnalyserLigneMlsd(c.ligne, e) : AnalyserLigneList(c.ligne, e, 2024, 6, 15));
        char iso[20];
        EXPECT_EQ(std::string(iso, EcrireDateIso(e, iso)), c.iso);
    }
}

TEST(FtpListing, ListingKeepsOrderAndSkipsUnsafeNames)
{
    const std::string mlsd = std::string("type=cdir; .\r\n"
                                         "type=pdir; ..\r\n"
                                         "type=file;size=1; b.sor\r\n"
                                         "type=file;size=1; ../../etc/passwd\r\n"
                                         "type=file;size=1; a\\b.sor\r\n"
                                         "type=file;size=1; cr\rname\r\n"
                                         "unparseable line\r\n"
                                         "type=file;size=1; nul") +
                             std::string(1, '\0') + "x\r\n" + "type=dir; a.sor\n";
    std::vector<std::string> noms;
    for (const tEntreeListeFtp& e : AnalyserListe(mlsd, true))
        noms.emplace_back(e.strNom);
    EXPECT_EQ(noms, (std::vector<std::string>{".", "..", "b.sor", "a.sor"}));
}

TEST(FtpListing, LinesNoRuleReadsAreNamedNotGuessed)
{
    // Unreadable lines among readable ones: each is named, in order, and no
    // entry is made of it; blank lines and ls's "total N" hold no entry.
    const std::string liste = "total 24\r\n"
                              "-rw-rw-rw-   1 user     ftp          2048 Mar 05  2019 old.sor\r\n"
                              "rw-rw-rw-          0  464195454  464195454 Jul  1  2016 G53.zip\r\n"
                              "\r\n"
                              "  size          date       time       name\r\n"
                              "-rw-rw-rw-   1 user     ftp          2048 Dez 05  2019 dez.sor\r\n"
                              "01-12-26  15:18       <DIR>          Traces\r\n"
                              "bad \x1b[2J\xff\r\n";
    std::vector<std::string> noms;
    const CFTPDirect::FonctionEntreeBrute f = [&](const tEntreeListeFtp& e) { noms.emplace_back(e.strNom); };
    CRecepteurListeFtp r(f);
    r.Debut(false);
    std::string reste;
    RecevoirBlocListe(liste.data(), liste.size(), reste, r);
    std::vector<CString> doublons;
    r.Terminer(doublons);
    EXPECT_EQ(noms, (std::vector<std::string>{"old.sor", "Traces"}));
    EXPECT_EQ(r.Illisibles(), (std::vector<CString>{L"rw-rw-rw-          0  464195454  464195454 Jul  1  2016 G53.zip",
                                                    L"  size          date       time       name",
                                                    L"-rw-rw-rw-   1 user     ftp          2048 Dez 05  2019 dez.sor",
                                                    L"bad \x1b[2J\\xFF"}));
}

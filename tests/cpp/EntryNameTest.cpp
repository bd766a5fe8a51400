// Which listed names may become a local file: the rules one by one.
#include "ftp/EntryName.h"

#include <gtest/gtest.h>

namespace {

using quorlin::IsPlainFileName;

TEST(EntryNames, DeviceNamesInEveryDisguiseAreRefused) {
    for (const wchar_t* name :
         {L"CON", L"con.txt", L"CON .txt", L"nul  .log", L"NUL.tar.gz", L"CONIN$", L"conout$.log", L"CONIN$ .x",
          L"COM1", L"lpt9.doc", L"COM\u00B9", L"lpt\u00B2.txt", L"COM\u00B3 .log", L"aux", L"PRN.x"})
        EXPECT_FALSE(IsPlainFileName(name)) << std::wstring(name).size();
}

TEST(EntryNames, NamesThatOnlyLookLikeDevicesAreKept) {
    for (const wchar_t* name : {L"CONSOLE.txt", L"com10", L"lpt\u2074", L"xCON", L"CONIN", L"nul_file",
                                L"COM\u00B9x", L"readme.CON", L"good.txt", L"\u00e9t\u00e9.txt"})
        EXPECT_TRUE(IsPlainFileName(name)) << std::wstring(name).size();
}

TEST(EntryNames, SeparatorsReservedCharactersAndTrailingDotsOrBlanksAreRefused) {
    for (const wchar_t* name : {L"", L".", L"..", L"a\\b", L"a/b", L"a:b", L"a*", L"a?", L"a\"b", L"a<b", L"a>b",
                                L"a|b", L"tab\there", L"trail.", L"trail "})
        EXPECT_FALSE(IsPlainFileName(name)) << std::wstring(name).size();
}

}  // namespace

// The file collection and its entries on synthetic find records, reached
// through the collection's internal side: sizes, types, time texts, the text
// listing, lookups, enumeration and lifetimes.
#include "TestSupport.h"
#include "listing/FileListing.h"
#include "ftpclient/ListingParser.h"
#include "ftpclient/MachineListingParser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace {

using quorlin::IFileListing;
using quorlin::IID_IFileListing;

const HRESULT kSubscriptOutOfRange = static_cast<HRESULT>(0x800A0009);
const HRESULT kInvalidProcedureCall = static_cast<HRESULT>(0x800A0005);

FILETIME StampFromUtc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME utc = {year, month, 0, day, hour, minute, second, 0};
    FILETIME stamp = {};
    EXPECT_TRUE(SystemTimeToFileTime(&utc, &stamp));
    return stamp;
}

// The UTC stamp that the machine's offset in force now turns into this local time.
FILETIME StampFromLocal(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    FILETIME local = StampFromUtc(year, month, day, hour, minute, second), stamp = {};
    EXPECT_TRUE(LocalFileTimeToFileTime(&local, &stamp));
    return stamp;
}

FILETIME RawStamp(unsigned long long value) {
    return {static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

WIN32_FIND_DATAA Record(const char* name, DWORD attributes = 0x20, DWORD sizeHigh = 0, DWORD sizeLow = 0,
                        FILETIME written = {}) {
    WIN32_FIND_DATAA record = {};
    record.dwFileAttributes = attributes;
    record.nFileSizeHigh = sizeHigh;
    record.nFileSizeLow = sizeLow;
    record.ftLastWriteTime = written;
    record.ftLastAccessTime = written;
    record.ftCreationTime = written;
    lstrcpynA(record.cFileName, name, MAX_PATH);
    return record;
}

std::wstring Take(BSTR text) {
    std::wstring result(text ? text : L"", text ? SysStringLen(text) : 0);
    SysFreeString(text);
    return result;
}

class FileListing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FTPFiles, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&files_)));
        ASSERT_EQ(S_OK, files_->QueryInterface(IID_IFileListing, reinterpret_cast<void**>(listing_.GetAddressOf())));
    }

    ComPtr<_FTPFile> Add(const WIN32_FIND_DATAA& record) {
        ComPtr<_FTPFile> entry;
        EXPECT_EQ(S_OK, listing_->AddEntry(&record, &entry));
        return entry;
    }
    std::wstring Listing(LONG flags) {
        BSTR text = nullptr;
        EXPECT_EQ(S_OK, listing_->ListingText(flags, &text));
        return Take(text);
    }
    HRESULT Item(VARIANT index, ComPtr<_FTPFile>& entry) { return files_->Item(index, &entry); }
    std::wstring NameAt(VARIANT index) {
        ComPtr<_FTPFile> entry;
        if (FAILED(Item(index, entry))) return L"(failed)";
        BSTR name = nullptr;
        entry->get_Filename(&name);
        return Take(name);
    }
    LONG Count() {
        LONG count = -1;
        EXPECT_EQ(S_OK, files_->Count(&count));
        return count;
    }

    ComPtr<_FTPFiles> files_;
    ComPtr<IFileListing> listing_;
};

std::wstring TimeText(ComPtr<_FTPFile>& entry) {
    BSTR text = nullptr;
    EXPECT_EQ(S_OK, entry->get_LastWriteTime(&text));
    return Take(text);
}

TEST_F(FileListing, SizesWrapModulo4GiBAndOnlyTheDirectoryBitSetsTheType) {
    struct Case {
        DWORD high, low;
        LONG size;
    } cases[] = {{0, 1234, 1234},
                 {0, 3221225472u, -1073741824},
                 {0, 2500000000u, -1794967296},
                 {1, 0, 0},  // 4 GiB and more wrap instead of failing the listing
                 {1, 5, 5},
                 {0xFFFFFFFFu, 7, 7}};
    int index = 0;
    for (const Case& c : cases) {
        std::string name = "size" + std::to_string(index++);
        ComPtr<_FTPFile> entry = Add(Record(name.c_str(), 0x20, c.high, c.low));
        LONG size = 0;
        ASSERT_EQ(S_OK, entry->get_FileSize(&size));
        EXPECT_EQ(c.size, size) << name;
    }
    enum_FileType type = FTPFile;
    ASSERT_EQ(S_OK, Add(Record("ro-dir", 0x11))->get_FileType(&type));
    EXPECT_EQ(FTPDirectory, type);
    ASSERT_EQ(S_OK, Add(Record("archive", 0x20))->get_FileType(&type));
    EXPECT_EQ(FTPFile, type);
    ASSERT_EQ(S_OK, Add(Record("everything-but", 0xFFFFFFEF))->get_FileType(&type));
    EXPECT_EQ(FTPFile, type);
    EXPECT_EQ(9, Count());
    // The size column is 15 wide, left-aligned, with the sign of a negative size.
    EXPECT_NE(std::wstring::npos, Listing(1 | 4).find(L"\r\n-1794967296    size2\r\n"));
}

TEST_F(FileListing, TheWorkedExampleByteForByteUnderEveryFlagSet) {
    Add(Record("docs", 0x10, 0, 0, StampFromLocal(2002, 3, 5, 14, 7, 9)));
    Add(Record("readme.txt", 0x20, 0, 1234, StampFromLocal(2002, 1, 31, 9, 5, 0)));
    const std::wstring docsTime = L"03/05/2002 14:07:09  ", readmeTime = L"01/31/2002 09:05:00  ";
    EXPECT_EQ(docsTime + L"0              docs\r\n" + readmeTime + L"1234           readme.txt\r\n", Listing(23));
    EXPECT_EQ(L"readme.txt\r\n", Listing(1));
    EXPECT_EQ(L"docs\r\n", Listing(2));
    EXPECT_EQ(L"docs\r\nreadme.txt\r\n", Listing(3));
    EXPECT_EQ(L"", Listing(0));
    EXPECT_EQ(L"", Listing(60));
    EXPECT_EQ(L"readme.txt\r\n", Listing(1 | 64 | 128 | 0x40000000)) << "other bits are ignored";
    // 63: last-write, last-access, creation, then the size column.
    EXPECT_EQ(docsTime + docsTime + docsTime + L"0              docs\r\n" + readmeTime + readmeTime + readmeTime +
                  L"1234           readme.txt\r\n",
              Listing(63));
}

TEST_F(FileListing, TimeTextsPadEveryFieldAndFallBackToUnknown) {
    struct Case {
        FILETIME stamp;
        const wchar_t* text;
    } cases[] = {
        {StampFromLocal(2002, 3, 5, 14, 7, 9), L"03/05/2002 14:07:09  "},
        {StampFromLocal(2002, 7, 1, 0, 0, 0), L"07/01/2002 00:00:00  "},  // midnight
        {StampFromLocal(2002, 12, 31, 23, 59, 59), L"12/31/2002 23:59:59  "},
        {StampFromLocal(9999, 12, 31, 23, 59, 59), L"12/31/9999 23:59:59  "},
        {StampFromLocal(10000, 1, 1, 12, 0, 0), L"unknown             "},  // a five-digit local year
        {RawStamp(0x8000000000000000ull), L"unknown             "},       // beyond what the platform converts
    };
    for (const Case& c : cases) {
        ComPtr<_FTPFile> entry = Add(Record(("t" + std::to_string(Count())).c_str(), 0x20, 0, 0, c.stamp));
        EXPECT_EQ(c.text, TimeText(entry));
    }
    EXPECT_EQ(21u, std::wstring(cases[0].text).size());
    EXPECT_EQ(20u, std::wstring(cases[4].text).size());
}

// scripts/test runs this under several TZ values and exports the offset that
// zone has now (QUORLIN_UTC_OFFSET, "+hhmm" as `date +%z` prints it).
TEST_F(FileListing, TimeTextsUseTheOffsetInForceNowWhateverTheStampsSeason) {
    const char* offsetText = std::getenv("QUORLIN_UTC_OFFSET");
    ASSERT_TRUE(offsetText && std::strlen(offsetText) == 5) << "QUORLIN_UTC_OFFSET not set";
    const int sign = offsetText[0] == '-' ? -1 : 1;
    const int offsetMinutes = sign * (std::atoi(std::string(offsetText + 1, 2).c_str()) * 60 + std::atoi(offsetText + 3));
    for (WORD month : {1, 7}) {
        // Noon UTC on the 15th: any offset of up to 12 hours stays on that day.
        const FILETIME stamp = StampFromUtc(2002, month, 15, 12, 0, 0);
        const int minutes = 12 * 60 + offsetMinutes;
        wchar_t expected[32];
        swprintf(expected, 32, L"%02d/%02d/2002 %02d:%02d:00  ", static_cast<int>(month), minutes >= 24 * 60 ? 16 : (minutes < 0 ? 14 : 15),
                 ((minutes + 24 * 60) / 60) % 24, (minutes + 24 * 60) % 60);
        ComPtr<_FTPFile> entry = Add(Record(month == 1 ? "winter" : "summer", 0x20, 0, 0, stamp));
        EXPECT_EQ(expected, TimeText(entry)) << "offset " << offsetText;
    }
}

TEST_F(FileListing, NamesStopAtTheFirstNulAndReadInTheAnsiCodePage) {
    WIN32_FIND_DATAA record = Record("");
    std::memcpy(record.cFileName, "caf\xE9.txt\0hidden", 15);
    ComPtr<_FTPFile> entry = Add(record);
    BSTR id = nullptr, name = nullptr;
    ASSERT_EQ(S_OK, entry->get_ID(&id));
    ASSERT_EQ(S_OK, entry->get_Filename(&name));
    wchar_t accented[2] = {};
    MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, accented, 1);
    EXPECT_EQ(L"caf" + std::wstring(accented) + L".txt", Take(id));
    EXPECT_EQ(L"caf" + std::wstring(accented) + L".txt", Take(name));
    // A name field with no NUL at all is read to its end and no further.
    WIN32_FIND_DATAA full = Record("");
    std::memset(full.cFileName, 'x', sizeof full.cFileName);
    std::memset(full.cAlternateFileName, 'y', sizeof full.cAlternateFileName);
    ComPtr<_FTPFile> longest = Add(full);
    ASSERT_EQ(S_OK, longest->get_Filename(&name));
    EXPECT_EQ(std::wstring(260, L'x'), Take(name));
}

TEST_F(FileListing, LookupsByPositionAndByKeyWithTheirErrors) {
    Add(Record("alpha", 0x10));
    Add(Record("beta.txt"));
    Add(Record("3"));
    EXPECT_EQ(3, Count());
    EXPECT_EQ(L"alpha", NameAt(Number(1)));
    EXPECT_EQ(L"beta.txt", NameAt(Number(2)));
    VARIANT key = Text(L"BETA.TXT");
    EXPECT_EQ(L"beta.txt", NameAt(key));
    VariantClear(&key);
    // The text "3" is a key; the number 3 a position (here the same entry).
    key = Text(L"3");
    EXPECT_EQ(L"3", NameAt(key));
    VariantClear(&key);
    key = Text(L"2");
    ComPtr<_FTPFile> entry;
    EXPECT_EQ(kInvalidProcedureCall, Item(key, entry));
    VariantClear(&key);
    RaisedError error = TakeError();
    EXPECT_EQ(L"Quorlin.FTPFiles", error.source);
    EXPECT_EQ(L"Invalid procedure call or argument", error.description);

    // Any numeric type selects by position, by value or by reference.
    VARIANT small;
    VariantInit(&small);
    V_VT(&small) = VT_I2;
    V_I2(&small) = 2;
    EXPECT_EQ(L"beta.txt", NameAt(small));
    VARIANT real;
    VariantInit(&real);
    V_VT(&real) = VT_R8;
    V_R8(&real) = 1.0;
    EXPECT_EQ(L"alpha", NameAt(real));
    LONG three = 3;
    VARIANT reference;
    VariantInit(&reference);
    V_VT(&reference) = VT_BYREF | VT_I4;
    V_I4REF(&reference) = &three;
    EXPECT_EQ(L"3", NameAt(reference));

    for (LONG outside : {0, 4, -1}) {
        EXPECT_EQ(kSubscriptOutOfRange, Item(Number(outside), entry));
        error = TakeError();
        EXPECT_EQ(L"Quorlin.FTPFiles", error.source);
        EXPECT_EQ(L"Subscript out of range", error.description);
    }
    key = Text(L"gamma");
    EXPECT_EQ(kInvalidProcedureCall, Item(key, entry));
    VariantClear(&key);
}

TEST_F(FileListing, CaseTwinsAreAllKeptAndAnExactKeyWins) {
    Add(Record("Readme.txt"));
    Add(Record("README.TXT"));
    Add(Record("other"));
    Add(Record("readme.TXT"));
    EXPECT_EQ(4, Count());
    EXPECT_EQ(L"README.TXT", NameAt(Number(2)));
    for (const wchar_t* name : {L"Readme.txt", L"README.TXT", L"readme.TXT"}) {
        VARIANT key = Text(name);
        EXPECT_EQ(name, NameAt(key));
        VariantClear(&key);
    }
    VARIANT key = Text(L"rEADME.txt");  // no exact match: the first twin
    EXPECT_EQ(L"Readme.txt", NameAt(key));
    VariantClear(&key);
    EXPECT_EQ(L"Readme.txt\r\nREADME.TXT\r\nother\r\nreadme.TXT\r\n", Listing(1));
}

TEST_F(FileListing, EntriesAreSharedAndKeepTheKeyTheyWereAddedUnder) {
    ComPtr<_FTPFile> added = Add(Record("original.txt"));
    BSTR text = SysAllocString(L"renamed.txt");
    ASSERT_EQ(S_OK, added->put_Filename(&text));
    ASSERT_EQ(S_OK, added->put_ID(&text));  // ignored: the ID was assigned by the listing
    SysFreeString(text);
    VARIANT key = Text(L"original.txt");
    EXPECT_EQ(L"renamed.txt", NameAt(key));
    VariantClear(&key);
    ComPtr<_FTPFile> same;
    ASSERT_EQ(S_OK, Item(Number(1), same));
    EXPECT_EQ(added.Get(), same.Get());
    ASSERT_EQ(S_OK, same->get_ID(&text));
    EXPECT_EQ(L"original.txt", Take(text));
    key = Text(L"renamed.txt");
    EXPECT_EQ(kInvalidProcedureCall, Item(key, same));
    VariantClear(&key);
}

TEST_F(FileListing, TheEnumeratorWalksInOrderAndKeepsItsOwnPosition) {
    for (const char* name : {"one", "two", "three"}) Add(Record(name));
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, files_->NewEnum(&unknown));
    ComPtr<IEnumVARIANT> walker;
    ASSERT_EQ(S_OK, unknown.As(&walker));
    auto name = [](VARIANT& item) {
        std::wstring text = L"(not an entry)";
        ComPtr<_FTPFile> entry;
        if (V_VT(&item) == VT_DISPATCH && SUCCEEDED(V_DISPATCH(&item)->QueryInterface(IID_PPV_ARGS(&entry)))) {
            BSTR value = nullptr;
            entry->get_Filename(&value);
            text = Take(value);
        }
        VariantClear(&item);
        return text;
    };
    VARIANT items[4];
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, walker->Next(1, items, &fetched));
    EXPECT_EQ(1u, fetched);
    EXPECT_EQ(L"one", name(items[0]));

    ComPtr<IEnumVARIANT> copy;
    ASSERT_EQ(S_OK, walker->Clone(&copy));
    // Asking for more than is left: what is left, and S_FALSE.
    EXPECT_EQ(S_FALSE, walker->Next(4, items, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(L"two", name(items[0]));
    EXPECT_EQ(L"three", name(items[1]));
    EXPECT_EQ(S_FALSE, walker->Next(1, items, &fetched));
    EXPECT_EQ(0u, fetched);
    // The clone kept the position it had and moves on its own.
    ASSERT_EQ(S_OK, copy->Next(1, items, nullptr));
    EXPECT_EQ(L"two", name(items[0]));
    EXPECT_EQ(S_FALSE, copy->Skip(5));
    EXPECT_EQ(S_FALSE, copy->Next(1, items, &fetched));
    EXPECT_EQ(0u, fetched);
    ASSERT_EQ(S_OK, walker->Reset());
    ASSERT_EQ(S_OK, walker->Skip(2));
    ASSERT_EQ(S_OK, walker->Next(1, items, nullptr));
    EXPECT_EQ(L"three", name(items[0]));
}

TEST(FileListingLifetime, EverythingIsReleasedAndTheLibraryCanUnload) {
    HMODULE module = LoadComponent();
    ASSERT_TRUE(module);
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_TRUE(canUnload);
    {
        ComPtr<_FTPFiles> files;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_FTPFiles, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&files)));
        ComPtr<IFileListing> listing;
        ASSERT_EQ(S_OK, files->QueryInterface(IID_IFileListing, reinterpret_cast<void**>(listing.GetAddressOf())));
        WIN32_FIND_DATAA record = Record("kept.txt");
        _FTPFile* raw = nullptr;
        ASSERT_EQ(S_OK, listing->AddEntry(&record, &raw));
        ComPtr<IUnknown> enumerator;
        ASSERT_EQ(S_OK, files->NewEnum(&enumerator));
        listing.Reset();
        EXPECT_EQ(S_FALSE, canUnload());
        // The entry outlives its collection while a client holds it.
        EXPECT_EQ(0u, files.Reset());
        EXPECT_EQ(0u, enumerator.Reset());
        EXPECT_EQ(S_FALSE, canUnload());
        raw->AddRef();
        EXPECT_EQ(1u, raw->Release());
        EXPECT_EQ(0u, raw->Release());
    }
    EXPECT_EQ(S_OK, canUnload());
    FreeLibrary(module);
}

// LIST lines in listing order, read in the manner of the platform's own client (a DOS number it
// cannot read keeps its value from the line before) but with whole names and 64-bit sizes.
// No name: skipped; no year: stamps of 0.
TEST(ListingLines, ReadWithThePlatformClientsRulesAndLimitsKeepingWholeNamesAndSizes) {
    struct Row { const char* line; const char* name; unsigned long long size; DWORD attributes; WORD listed[5]; } const rows[] = {
        {"-rw-r--r--    1 user     group        1234 Mar  5 14:07 file.txt", "file.txt", 1234, 0, {2026, 3, 5, 14, 7}},
        {"drwxr-xr-x    2 user     group        4096 Jan 15  2021 dir", "dir", 0, 0x10, {2021, 1, 15, 12, 0}},
        {"lrwxrwxrwx    1 user     group           2 Feb  1 10:00 up -> ..", "up", 2, 0, {2026, 2, 1, 10, 0}},
        {"-rw-r--r--    1 user     group           5 Jun 30  2022 my file.txt", "my file.txt", 5, 0, {2022, 6, 30, 12, 0}},
        {"-rw-r--r--    1 user     group  5000000000 Jul  4  2020 huge", "huge", 5000000000, 0, {2020, 7, 4, 12, 0}},
        {"-r--r--r--\t1\tu\tg\t7\tfebruary\t29\t2023\tfeb29", "feb29", 7, 0, {2023, 3, 1, 12, 0}},
        {"-rw-r--r--    1 u g 7 Apr 31 2024 apr31", "apr31", 7, 0, {}},
        {"crw-r--r--    1 u g 5 ANF 4 1:2:3 a\rb\r", "a\rb", 5, 0, {2026, 1, 4, 1, 2}},
        {"-rw-r--r--    1 u g -1 Jan 15 2021 minus", "minus", ~0ull, 0, {2021, 1, 15, 12, 0}},
        {"-rw-r--r--    1 u g +12 Jan 15 2021 plus", "plus", ~0ull, 0, {2021, 1, 15, 12, 0}},
        {"-rw-r--r--    1 u g 18446744073709551616 Jan 15 2021 wide", "wide", ~0ull, 0, {2021, 1, 15, 12, 0}},
        {"total 48", nullptr, 0, 0, {}},
        {"drwxr-xr-x+   2 u g 4096 Jan 15 2021 acl", nullptr, 0, 0, {}},
        {"07-13-03  08:55PM       <DIR>          My Documents", "My Documents", 0, 0x10, {2003, 7, 13, 20, 55}},
        {"05-09-03  06:02PM             12656686 2003-04-21bgm.rgz", "2003-04-21bgm.rgz", 12656686, 0, {2003, 5, 9, 18, 2}},
        {"01-01-21  12:30AM                 100 midnight", "midnight", 100, 0, {2021, 1, 1, 12, 30}},
        {"01-01-21  12:30PM                 100 noon", "noon", 100, 0, {}},
        {"01-01-99  10:00AM                 100 y99", "y99", 100, 0, {}},
        {"02-03-04  05:06AM 1 first", "first", 1, 0, {2004, 2, 3, 5, 6}},
        {"01/01/21  xx:yyPM 100 slashes", "slashes", 100, 0, {2004, 1, 3, 17, 6}},
        {"   ", nullptr, 0, 0, {}},
    };
    const SYSTEMTIME now = {2026, 3, 1, 9, 10, 30, 0, 0};
    quorlin::ListingReadState state;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        quorlin::ListedEntry entry;
        EXPECT_EQ(row.name != nullptr, quorlin::ParseListingLine(row.line, now, entry, state));
        if (!row.name) continue;
        const WIN32_FIND_DATAA& record = entry.record;
        EXPECT_EQ(row.name, entry.name);
        EXPECT_EQ(row.size, (static_cast<unsigned long long>(record.nFileSizeHigh) << 32) | record.nFileSizeLow);
        EXPECT_EQ(row.attributes, record.dwFileAttributes);
        const SYSTEMTIME listed = {row.listed[0], row.listed[1], 0, row.listed[2], row.listed[3], row.listed[4], 0, 0};
        FILETIME expected = {};
        if (listed.wYear) { EXPECT_TRUE(SystemTimeToFileTime(&listed, &expected)); }
        for (const FILETIME& stamp : {record.ftLastWriteTime, record.ftCreationTime, record.ftLastAccessTime})
            EXPECT_EQ(0, CompareFileTime(&expected, &stamp));
    }
    // A listing's last line counts without its line end too.
    // A NUL inside a name keeps what follows it.
    std::vector<quorlin::ListedEntry> entries;
    using namespace std::string_view_literals;
    ASSERT_TRUE(quorlin::ParseListingText("total 1\r\n-rw-r--r-- 1 u g 7 Jan 15 2021 last\0one"sv, now, entries));
    ASSERT_EQ(1u, entries.size());
    EXPECT_EQ("last\0one"sv, entries[0].name);
    EXPECT_TRUE(quorlin::ListingLineEndsListing(std::string(4096, 'x') + "\r"));
    EXPECT_FALSE(quorlin::ListingLineEndsListing(std::string(4095, 'x') + "\r"));
}

// MLSD lines: facts in any case and order, exact sizes and times; the listed
// folder, its parent and lines that are no entry skipped; records as LIST fills them.
TEST(ListingLines, MachineListingLinesGiveExactSizesAndTimesAndSkipWhatIsNoEntry) {
    struct Row { const char* line; const char* name; unsigned long long size; DWORD attributes; WORD exact[7]; } const rows[] = {
        {"modify=20020305140709;perm=adfrw;size=5;type=file;UNIX.mode=0644; a.txt", "a.txt", 5, 0, {2002, 3, 5, 14, 7, 9, 0}},
        {"TYPE=Dir;sizd=4096;Modify=20210115101112; sub dir", "sub dir", 0, 0x10, {2021, 1, 15, 10, 11, 12, 0}},
        {"type=file;size=5000000000;modify=20200704010203.1234; big;name", "big;name", 5000000000, 0, {2020, 7, 4, 1, 2, 3, 123}},
        {"type=OS.unix=slink:/x;size=3;modify=20200101000000; link\r", "link", 3, 0, {2020, 1, 1, 0, 0, 0, 0}},
        {"type=file;size=-1;modify=20201301000000; badmonth", "badmonth", ~0ull, 0, {}},
        {"type=file;size=9223372036854775808;modify=2020010100000x; wide", "wide", ~0ull, 0, {}},
        {"type=file;size=;nofact;=x; a\rb\r", "a\rb", ~0ull, 0, {}},
        {" bare", "bare", ~0ull, 0, {}},
        {"type=cdir;modify=20020305140709; .", nullptr, 0, 0, {}},
        {"Type=PDir; ..", nullptr, 0, 0, {}},
        {"type=file;size=5", nullptr, 0, 0, {}},
        {"type=file;size=5 ", nullptr, 0, 0, {}},
        {"type=file;size=5 noend", nullptr, 0, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        quorlin::ListedEntry entry;
        EXPECT_EQ(row.name != nullptr, quorlin::ParseMachineListingLine(row.line, entry));
        if (!row.name) continue;
        const WIN32_FIND_DATAA& record = entry.record;
        EXPECT_EQ(row.name, entry.name);
        EXPECT_EQ(row.name, quorlin::RecordName(record));
        EXPECT_EQ(row.size, (static_cast<unsigned long long>(record.nFileSizeHigh) << 32) | record.nFileSizeLow);
        EXPECT_EQ(row.attributes, record.dwFileAttributes);
        const WORD* t = row.exact;
        const SYSTEMTIME exact = {t[0], t[1], 0, t[2], t[3], t[4], t[5], t[6]}, noon = {t[0], t[1], 0, t[2], 12, 0, 0, 0};
        FILETIME expected = {}, listed = {};
        if (t[0]) { EXPECT_TRUE(SystemTimeToFileTime(&exact, &expected) && SystemTimeToFileTime(&noon, &listed)); }
        EXPECT_EQ(0, CompareFileTime(&expected, &entry.exactModified));
        for (const FILETIME& stamp : {record.ftLastWriteTime, record.ftCreationTime, record.ftLastAccessTime})
            EXPECT_EQ(0, CompareFileTime(&listed, &stamp)) << "an old time lists as noon of its day";
    }
    // A NUL stays inside the name; a long name is whole, its record holds what fits.
    std::vector<quorlin::ListedEntry> entries;
    using namespace std::string_literals;
    using namespace std::string_view_literals;
    const std::string text = "type=file;size=1; nu\0l\r\ntype=dir; "s + std::string(300, 'n');
    ASSERT_TRUE(quorlin::ParseMachineListingText(text, entries));
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ("nu\0l"sv, entries[0].name);
    EXPECT_EQ(std::string(300, 'n'), entries[1].name);
    EXPECT_EQ(std::string(259, 'n'), quorlin::RecordName(entries[1].record));
}

}  // namespace

// The embedded type library against the published tables: order of types,
// flags, every member's slot, dispatch id, kind, parameter names and types.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>

namespace {

struct Member {
    const wchar_t* name;
    INVOKEKIND kind;
    DISPID id;
    const wchar_t* parameters;  // "name:type" separated by blanks; "=" marks by value, "?" optional
    const wchar_t* result;      // type of the retval, or "" for none
};

ComPtr<ITypeLib> LoadLibraryFromDll() {
    ComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, LoadTypeLibEx(EnvText("QUORLIN_DLL").c_str(), REGKIND_NONE, &library));
    return library;
}

std::wstring TypeName(ITypeInfo* info, const TYPEDESC& desc) {
    switch (desc.vt) {
    case VT_PTR: return TypeName(info, *desc.lptdesc) + L"*";
    case VT_I4: return L"long";
    case VT_BOOL: return L"bool";
    case VT_R8: return L"double";
    case VT_DATE: return L"date";
    case VT_BSTR: return L"text";
    case VT_VARIANT: return L"variant";
    case VT_UNKNOWN: return L"IUnknown";
    case VT_DISPATCH: return L"IDispatch";
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> referenced;
        if (FAILED(info->GetRefTypeInfo(desc.hreftype, &referenced))) return L"?";
        BSTR name = nullptr;
        referenced->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        std::wstring text = name ? name : L"?";
        SysFreeString(name);
        return text;
    }
    default: return L"vt" + std::to_wstring(desc.vt);
    }
}

// `parent` is the interface it derives from, whose slots come first.
void ExpectInterface(ITypeLib* library, UINT index, const wchar_t* interfaceName, const std::vector<Member>& members,
                     const GUID& parent = IID_IDispatch, UINT firstSlot = 7) {
    SCOPED_TRACE(::testing::Message() << "interface " << std::string(interfaceName, interfaceName + wcslen(interfaceName)));
    ComPtr<ITypeInfo> dispatch;
    ASSERT_EQ(S_OK, library->GetTypeInfo(index, &dispatch));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, dispatch->GetTypeAttr(&attributes));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    const WORD flags = TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(flags, attributes->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION);
    dispatch->ReleaseTypeAttr(attributes);

    HREFTYPE vtableHalf = 0;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtableHalf));
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch->GetRefTypeInfo(vtableHalf, &info));
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    ASSERT_EQ(members.size(), attributes->cFuncs);
    EXPECT_EQ(TKIND_INTERFACE, attributes->typekind);
    EXPECT_EQ(flags | TYPEFLAG_FOLEAUTOMATION, attributes->wTypeFlags);
    info->ReleaseTypeAttr(attributes);

    HREFTYPE parentType = 0;
    ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(0, &parentType));
    ComPtr<ITypeInfo> parentInfo;
    ASSERT_EQ(S_OK, info->GetRefTypeInfo(parentType, &parentInfo));
    ASSERT_EQ(S_OK, parentInfo->GetTypeAttr(&attributes));
    EXPECT_EQ(parent, attributes->guid);
    parentInfo->ReleaseTypeAttr(attributes);

    for (UINT slot = 0; slot < members.size(); ++slot) {
        const Member& member = members[slot];
        FUNCDESC* desc = nullptr;
        ASSERT_EQ(S_OK, info->GetFuncDesc(slot, &desc));
        BSTR names[16] = {};
        UINT nameCount = 0;
        info->GetNames(desc->memid, names, 16, &nameCount);
        std::wstring expectedName = member.name;
        EXPECT_EQ(expectedName, names[0] ? names[0] : L"") << "slot " << slot + 1;
        EXPECT_EQ(member.id, desc->memid) << "slot " << slot + 1;
        EXPECT_EQ(member.kind, desc->invkind) << "slot " << slot + 1;
        EXPECT_EQ(static_cast<SHORT>((firstSlot + slot) * sizeof(void*)), desc->oVft) << "slot " << slot + 1;
        const std::wstring_view declared = member.parameters;
        EXPECT_EQ(std::count(declared.begin(), declared.end(), L'?'), desc->cParamsOpt) << "slot " << slot + 1;
        std::wstring parameters, result;
        for (SHORT p = 0; p < desc->cParams; ++p) {
            const ELEMDESC& element = desc->lprgelemdescParam[p];
            std::wstring type = TypeName(info.Get(), element.tdesc);
            USHORT flags = element.paramdesc.wParamFlags;
            if (flags & PARAMFLAG_FRETVAL) {
                result = type.substr(0, type.size() - 1);
                continue;
            }
            // By reference is [in, out] and a pointer; by value is [in].
            bool byReference = (flags & PARAMFLAG_FIN) && (flags & PARAMFLAG_FOUT);
            if (!parameters.empty()) parameters += L" ";
            parameters += std::wstring(static_cast<UINT>(p + 1) < nameCount && names[p + 1] ? names[p + 1] : L"?") +
                          L":" + type + (byReference ? L"" : L"=") + ((flags & PARAMFLAG_FOPT) ? L"?" : L"");
        }
        // A type library keeps no name for a property writer's value: only its type is compared.
        std::wstring expected = member.parameters;
        if (member.kind == INVOKE_PROPERTYPUT) {
            expected = expected.substr(expected.find(L':'));
            parameters = parameters.substr(parameters.find(L':'));
        }
        EXPECT_EQ(expected, parameters) << "slot " << slot + 1;
        EXPECT_EQ(std::wstring(member.result), result) << "slot " << slot + 1;
        for (UINT n = 0; n < nameCount; ++n) SysFreeString(names[n]);
        info->ReleaseFuncDesc(desc);
    }
}

constexpr INVOKEKIND M = INVOKE_FUNC, G = INVOKE_PROPERTYGET, P = INVOKE_PROPERTYPUT;

// The eleven published types keep their places; the second interfaces follow.
TEST(TypeLibrary, HoldsTheElevenTypesInOrderAndTheSecondInterfacesBehind) {
    ComPtr<ITypeLib> library = LoadLibraryFromDll();
    ASSERT_TRUE(library);
    const wchar_t* expected[] = {L"_FTP", L"FTP", L"_HTTP", L"HTTP", L"_FTPFile", L"FTPFile",
                                 L"_FTPFiles", L"FTPFiles", L"Directory_Listing_Type", L"Ftp_Transfer_Type",
                                 L"enum_FileType", L"_FTP2", L"_HTTP2", L"_FTP3", L"_FTP4", L"_FTPFile2",
                                 L"Exchange_Options", L"_FTP5", L"_FTP6"};
    ASSERT_EQ(19u, library->GetTypeInfoCount());
    for (UINT i = 0; i < 19; ++i) {
        BSTR name = nullptr, help = nullptr;
        ASSERT_EQ(S_OK, library->GetDocumentation(i, &name, &help, nullptr, nullptr));
        EXPECT_EQ(std::wstring(expected[i]), name);
        EXPECT_EQ(nullptr, help);
        SysFreeString(name);
    }
    BSTR name = nullptr;
    library->GetDocumentation(-1, &name, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::wstring(L"quorlin"), name);
    SysFreeString(name);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(LIBID_quorlin, attributes->guid);
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    // Each build carries a library compiled for its own platform.
    EXPECT_EQ(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, attributes->syskind);
    library->ReleaseTLibAttr(attributes);
}

// Each class lists its interfaces, the default (the newest) first.
TEST(TypeLibrary, ClassesAreCreatableWithTheirNewestInterfaceAsDefault) {
    ComPtr<ITypeLib> library = LoadLibraryFromDll();
    ASSERT_TRUE(library);
    const std::pair<UINT, std::vector<const wchar_t*>> classes[] = {
        {1, {L"_FTP6", L"_FTP5", L"_FTP4", L"_FTP3", L"_FTP2", L"_FTP"}}, {3, {L"_HTTP2", L"_HTTP"}},
        {5, {L"_FTPFile2", L"_FTPFile"}}, {7, {L"_FTPFiles"}}};
    for (const auto& [index, interfaces] : classes) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library->GetTypeInfo(index, &info));
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
        EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
        EXPECT_TRUE(attributes->wTypeFlags & TYPEFLAG_FCANCREATE);
        EXPECT_EQ(interfaces.size(), static_cast<size_t>(attributes->cImplTypes));
        info->ReleaseTypeAttr(attributes);
        for (UINT i = 0; i < interfaces.size(); ++i) {
            INT implFlags = 0;
            info->GetImplTypeFlags(i, &implFlags);
            EXPECT_EQ(i == 0, (implFlags & IMPLTYPEFLAG_FDEFAULT) != 0);
            HREFTYPE ref = 0;
            ASSERT_EQ(S_OK, info->GetRefTypeOfImplType(i, &ref));
            ComPtr<ITypeInfo> implemented;
            ASSERT_EQ(S_OK, info->GetRefTypeInfo(ref, &implemented));
            BSTR name = nullptr;
            implemented->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
            EXPECT_EQ(std::wstring(interfaces[i]), name);
            SysFreeString(name);
        }
    }
}

TEST(TypeLibrary, EnumerationsHoldTheirValues) {
    ComPtr<ITypeLib> library = LoadLibraryFromDll();
    ASSERT_TRUE(library);
    const std::vector<std::vector<std::pair<const wchar_t*, LONG>>> expected = {
        {{L"ShowFiles", 1}, {L"ShowDirectories", 2}, {L"ShowFileSize", 4}, {L"ShowLastAccessTime", 8},
         {L"ShowLastWriteTime", 16}, {L"ShowCreationTime", 32}},
        {{L"TransferASCII", 1}, {L"TransferBinary", 2}},
        {{L"FTPDirectory", 1}, {L"FTPFile", 2}},
        {{L"Recurse", 1}, {L"Move", 2}, {L"OnlyChanged", 4}, {L"KeepTime", 8}, {L"Overwrite", 16},
         {L"TemporaryName", 32}, {L"DeleteExtra", 64}}};
    for (UINT e = 0; e < 4; ++e) {
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library->GetTypeInfo(e < 3 ? 8 + e : 16, &info));
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
        EXPECT_EQ(TKIND_ENUM, attributes->typekind);
        ASSERT_EQ(expected[e].size(), attributes->cVars);
        info->ReleaseTypeAttr(attributes);
        for (UINT v = 0; v < expected[e].size(); ++v) {
            VARDESC* var = nullptr;
            ASSERT_EQ(S_OK, info->GetVarDesc(v, &var));
            BSTR name = nullptr;
            UINT count = 0;
            info->GetNames(var->memid, &name, 1, &count);
            EXPECT_EQ(std::wstring(expected[e][v].first), name);
            EXPECT_EQ(expected[e][v].second, V_I4(var->lpvarValue));
            SysFreeString(name);
            info->ReleaseVarDesc(var);
        }
    }
}

TEST(TypeLibrary, FtpInterfaceMembers) {
    ComPtr<ITypeLib> library = LoadLibraryFromDll();
    ASSERT_TRUE(library);
    ExpectInterface(library.Get(), 0, L"_FTP", {
        {L"OnStartPage", M, 0x6003000A, L"FTPScriptingContext:IScriptingContext**", L"variant"},
        {L"Version", G, 0x68030008, L"", L"variant"},
        {L"URL", P, 0x68030007, L"str_URL:variant*", L""},
        {L"URL", G, 0x68030007, L"", L"variant"},
        {L"Username", P, 0x68030006, L"str_username:variant*", L""},
        {L"Username", G, 0x68030006, L"", L"variant"},
        {L"Password", P, 0x68030005, L"str_password:variant*", L""},
        {L"Password", G, 0x68030005, L"", L"variant"},
        {L"Port", P, 0x68030004, L"lng_port:long*", L""},
        {L"Port", G, 0x68030004, L"", L"long"},
        {L"Proxy", P, 0x68030003, L"str_proxy:variant*", L""},
        {L"Proxy", G, 0x68030003, L"", L"variant"},
        {L"Passive", P, 0x68030002, L"bool_passive:bool*", L""},
        {L"Passive", G, 0x68030002, L"", L"bool"},
        {L"TransferType", P, 0x68030001, L"FTT_Transfer_Type:Ftp_Transfer_Type*", L""},
        {L"OpenConnection", M, 0x6003000D, L"", L""},
        {L"CloseConnection", M, 0x6003000E, L"", L""},
        {L"Directory", G, 0x68030000, L"", L"variant"},
        {L"Directory", P, 0x68030000, L"str_directory:variant*", L""},
        {L"Files", M, 0x6003000F, L"", L"_FTPFiles*"},
        {L"GetDirectoryListing", M, 0x60030010, L"lng_listing_type:Directory_Listing_Type*", L"text"},
        {L"CreateDirectory", M, 0x60030011, L"str_directory_name:variant*", L""},
        {L"RemoveDirectory", M, 0x60030012, L"str_directory_name:variant*", L""},
        {L"RenameFile", M, 0x60030013, L"str_old_filename:variant* str_new_filename:variant*", L""},
        {L"PutFile", M, 0x60030014, L"str_local_path:variant* str_remote_path:variant*", L""},
        {L"GetDirectory", M, 0x60030015,
         L"str_remote_path:variant* str_local_path:variant* bool_overwrite:bool* bool_traverse_sub_directories:bool*", L""},
        {L"PutDirectory", M, 0x60030016,
         L"str_local_path:variant* str_remote_path:variant* bool_traverse_sub_directories:bool*", L""},
        {L"GetFile", M, 0x60030017, L"str_remote_path:variant* str_local_path:variant* bool_overwrite:bool*", L""},
        {L"DeleteFile", M, 0x60030018, L"str_remote_path:variant*", L""},
    });
}

TEST(TypeLibrary, HttpAndListingInterfaceMembers) {
    ComPtr<ITypeLib> library = LoadLibraryFromDll();
    ASSERT_TRUE(library);
    ExpectInterface(library.Get(), 2, L"_HTTP", {
        {L"URL", P, 0x68030003, L"str_URL:text*", L""},
        {L"ServerName", G, 0x68030002, L"", L"variant"},
        {L"Path", G, 0x68030001, L"", L"variant"},
        {L"Version", G, 0x68030000, L"", L"variant"},
        {L"GetString", M, 0x60030006, L"", L"text"},
    });
    ExpectInterface(library.Get(), 4, L"_FTPFile", {
        {L"ID", G, 0x68030006, L"", L"text"},
        {L"ID", P, 0x68030006, L"str_New:text*", L""},
        {L"Filename", P, 0x68030005, L"str_filename:text*", L""},
        {L"Filename", G, 0x68030005, L"", L"text"},
        {L"FileType", P, 0x68030004, L"lng_file_type:enum_FileType*", L""},
        {L"FileType", G, 0x68030004, L"", L"enum_FileType"},
        {L"FileSize", P, 0x68030003, L"lng_file_size:long*", L""},
        {L"FileSize", G, 0x68030003, L"", L"long"},
        {L"LastAccessTime", P, 0x68030002, L"str_last_access_time:text*", L""},
        {L"LastAccessTime", G, 0x68030002, L"", L"text"},
        {L"LastWriteTime", P, 0x68030001, L"str_last_write_time:text*", L""},
        {L"LastWriteTime", G, 0x68030001, L"", L"text"},
        {L"CreationTime", P, 0x68030000, L"str_creation_time:text*", L""},
        {L"CreationTime", G, 0x68030000, L"", L"text"},
    });
    ExpectInterface(library.Get(), 15, L"_FTPFile2", {
        {L"Size", G, 0x68030007, L"", L"double"},
        {L"Modified", G, 0x68030008, L"", L"variant"},
    }, IID__FTPFile, 7 + 14);
    ExpectInterface(library.Get(), 6, L"_FTPFiles", {
        {L"Count", M, 0x60030002, L"", L"long"},
        {L"Item", M, 0, L"var_idx:variant=", L"_FTPFile*"},
        {L"NewEnum", M, DISPID_NEWENUM, L"", L"IUnknown"},
    });
}

// The later interfaces: the earlier one's slots, then the new members with
// dispatch identifiers no old member uses.
TEST(TypeLibrary, LaterInterfacesExtendTheEarlier) {
    ComPtr<ITypeLib> library = LoadLibraryFromDll();
    ASSERT_TRUE(library);
    ExpectInterface(library.Get(), 11, L"_FTP2", {
        {L"Timeout", G, 0x68030010, L"", L"long"},
        {L"Timeout", P, 0x68030010, L"lng_timeout:long=", L""},
        {L"CodePage", G, 0x68030011, L"", L"long"},
        {L"CodePage", P, 0x68030011, L"lng_code_page:long=", L""},
    }, IID__FTP, 7 + 29);
    ExpectInterface(library.Get(), 12, L"_HTTP2", {
        {L"Timeout", G, 0x68030010, L"", L"long"},
        {L"Timeout", P, 0x68030010, L"lng_timeout:long=", L""},
        {L"Status", G, 0x68030011, L"", L"long"},
    }, IID__HTTP, 7 + 5);
    ExpectInterface(library.Get(), 13, L"_FTP3", {
        {L"Security", G, 0x68030012, L"", L"long"},
        {L"Security", P, 0x68030012, L"lng_security:long=", L""},
        {L"CertificateFingerprint", G, 0x68030013, L"", L"text"},
        {L"CertificateFingerprint", P, 0x68030013, L"str_fingerprint:text=", L""},
    }, IID__FTP2, 7 + 29 + 4);
    ExpectInterface(library.Get(), 14, L"_FTP4", {
        {L"Protocol", G, 0x68030014, L"", L"long"},
        {L"Protocol", P, 0x68030014, L"lng_protocol:long=", L""},
        {L"HostKeyFingerprint", G, 0x68030015, L"", L"text"},
        {L"HostKeyFingerprint", P, 0x68030015, L"str_fingerprint:text=", L""},
        {L"PrivateKeyFile", G, 0x68030016, L"", L"text"},
        {L"PrivateKeyFile", P, 0x68030016, L"str_path:text=", L""},
        {L"PrivateKeyPassphrase", G, 0x68030017, L"", L"text"},
        {L"PrivateKeyPassphrase", P, 0x68030017, L"str_passphrase:text=", L""},
        {L"FileSize", M, 0x60030019, L"str_remote_path:variant=", L"double"},
        {L"FileTime", M, 0x6003001A, L"str_remote_path:variant=", L"date"},
        {L"FileExists", M, 0x6003001B, L"str_remote_path:variant=", L"bool"},
        {L"PutText", M, 0x6003001C, L"str_text:variant= str_remote_path:variant= lng_code_page:variant=?", L""},
        {L"GetText", M, 0x6003001D, L"str_remote_path:variant= lng_code_page:variant=?", L"text"},
        {L"ResumeGetFile", M, 0x6003001E, L"str_remote_path:variant= str_local_path:variant=", L""},
        {L"ResumePutFile", M, 0x6003001F, L"str_local_path:variant= str_remote_path:variant=", L""},
    }, IID__FTP3, 7 + 29 + 4 + 4);
    ExpectInterface(library.Get(), 17, L"_FTP5", {
        {L"PutFiles", M, 0x60030020, L"str_local_mask:variant= str_remote_folder:variant= lng_options:variant=?", L"long"},
        {L"GetFiles", M, 0x60030021, L"str_remote_mask:variant= str_local_folder:variant= lng_options:variant=?", L"long"},
        {L"Synchronize", M, 0x60030022, L"str_local_folder:variant= str_remote_folder:variant= lng_direction:long= "
                                        L"lng_options:variant=? str_mask:variant=?", L"long"},
        {L"TransferredFiles", G, 0x68030018, L"", L"variant"},
    }, IID__FTP4, 7 + 29 + 4 + 4 + 15);
    ExpectInterface(library.Get(), 18, L"_FTP6", {
        {L"LogFile", G, 0x68030019, L"", L"text"},
        {L"LogFile", P, 0x68030019, L"str_path:text=", L""},
        {L"ProxyUsername", G, 0x6803001A, L"", L"text"},
        {L"ProxyUsername", P, 0x6803001A, L"str_username:text=", L""},
        {L"ProxyPassword", G, 0x6803001B, L"", L"text"},
        {L"ProxyPassword", P, 0x6803001B, L"str_password:text=", L""},
    }, IID__FTP5, 7 + 29 + 4 + 4 + 15 + 4);
}

}  // namespace

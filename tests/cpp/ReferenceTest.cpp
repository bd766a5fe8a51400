// docs/reference.md against the code: its tables of classes, interfaces,
// members, enumerations and errors hold exactly what the embedded type
// library and the error constants hold. A row's last cell (what it means) is
// free text; every other cell is compared.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

using Row = std::vector<std::string>;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }  // ASCII names

std::string RepositoryFile(const char* relative) {
    std::wstring path = EnvText("QUORLIN_REPO") + L"\\" + std::wstring(relative, relative + strlen(relative));
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    std::optional<std::string> bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.has_value()) << "cannot read " << Narrow(path) << " (QUORLIN_REPO is the repository)";
    return bytes.value_or("");
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The rows of the first table after the line `heading`, header and rule left out.
std::vector<Row> TableAfter(const std::string& document, const std::string& heading) {
    std::istringstream lines(document);
    std::string line;
    while (std::getline(lines, line) && Trim(line) != heading) {
    }
    std::vector<Row> rows;
    bool inTable = false, pastRule = false;
    while (std::getline(lines, line)) {
        line = Trim(line);
        if (line.empty() || line[0] != '|') {
            if (inTable) break;
            if (line.rfind("#", 0) == 0) break;  // the next section: this one has no table
            continue;
        }
        inTable = true;
        if (!pastRule) {
            pastRule = line.rfind("|---", 0) == 0;
            continue;
        }
        Row row;
        std::string cell;
        bool inCode = false;
        for (size_t i = 1; i < line.size(); ++i) {  // a "|" inside a code span is text
            if (line[i] == '`') inCode = !inCode;
            if (line[i] == '|' && !inCode) {
                row.push_back(Trim(cell));
                cell.clear();
            } else {
                cell += line[i];
            }
        }
        rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << "no table after \"" << heading << "\"";
    return rows;
}

std::string Joined(const Row& row, size_t cells) {
    std::string text = "|";
    for (size_t i = 0; i < cells && i < row.size(); ++i) text += " " + row[i] + " |";
    return text;
}

// The documented rows hold the expected cells in order, each with a meaning.
void ExpectRows(const std::vector<Row>& expected, const std::vector<Row>& documented, const std::string& table) {
    SCOPED_TRACE(table);
    bool same = expected.size() == documented.size();
    for (size_t i = 0; same && i < expected.size(); ++i) {
        const size_t cells = expected[i].size();
        same = documented[i].size() > cells && Joined(documented[i], cells) == Joined(expected[i], cells);
        EXPECT_FALSE(documented[i].size() > cells && documented[i][cells].empty()) << "no meaning: " << Joined(expected[i], cells);
    }
    if (same) return;
    std::string wanted;
    for (const Row& row : expected) wanted += Joined(row, row.size()) + " ... |\n";
    ADD_FAILURE() << "the table should begin its rows with:\n" << wanted;
}

std::string Code(const std::string& text) { return "`" + text + "`"; }

std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", value);
    return text;
}

std::string GuidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return Narrow(text);
}

std::string TypeName(ITypeInfo* info, const TYPEDESC& desc) {
    switch (desc.vt) {
    case VT_PTR: return TypeName(info, *desc.lptdesc) + "*";
    case VT_I4: return "long";
    case VT_BOOL: return "VARIANT_BOOL";
    case VT_R8: return "double";
    case VT_DATE: return "DATE";
    case VT_BSTR: return "BSTR";
    case VT_VARIANT: return "VARIANT";
    case VT_UNKNOWN: return "IUnknown";
    case VT_DISPATCH: return "IDispatch";
    case VT_USERDEFINED: {
        ComPtr<ITypeInfo> referenced;
        BSTR name = nullptr;
        if (SUCCEEDED(info->GetRefTypeInfo(desc.hreftype, &referenced)))
            referenced->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        std::string text = name ? Narrow(name) : "?";
        SysFreeString(name);
        return text;
    }
    default: return "vt" + std::to_string(desc.vt);
    }
}

std::string Name(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    BSTR name = nullptr;
    info->GetDocumentation(id, &name, nullptr, nullptr, nullptr);
    std::string text = name ? Narrow(name) : "?";
    SysFreeString(name);
    return text;
}

ComPtr<ITypeLib> LibraryFromDll() {
    ComPtr<ITypeLib> library;
    EXPECT_EQ(S_OK, LoadTypeLibEx(EnvText("QUORLIN_DLL").c_str(), REGKIND_NONE, &library));
    return library;
}

// The vtable half of a dual interface, whose functions are its own members.
ComPtr<ITypeInfo> VtableHalf(ITypeInfo* dispatch) {
    HREFTYPE vtable = 0;
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable))) dispatch->GetRefTypeInfo(vtable, &info);
    return info;
}

std::string BaseName(ITypeInfo* info) {
    HREFTYPE base = 0;
    ComPtr<ITypeInfo> baseInfo;
    if (FAILED(info->GetRefTypeOfImplType(0, &base)) || FAILED(info->GetRefTypeInfo(base, &baseInfo))) return "?";
    return Name(baseInfo.Get());
}

std::string ParameterText(ITypeInfo* info, const ELEMDESC& element) {
    const USHORT flags = element.paramdesc.wParamFlags;
    std::string direction = (flags & PARAMFLAG_FIN) && (flags & PARAMFLAG_FOUT) ? "in, out"
                            : (flags & PARAMFLAG_FOUT)                          ? "out"
                                                                                : "in";
    if (flags & PARAMFLAG_FOPT) direction += ", optional";
    return "[" + direction + "] " + TypeName(info, element.tdesc);
}

// The name of each property writer's value, by interface and property, as the
// interface definition gives it: the type library keeps one list of names for
// a property's reader and writer, so a writer's value name cannot be read there.
std::map<std::string, std::string> WriterValueNames(const std::string& idl) {
    std::map<std::string, std::string> names;
    const std::regex interfaceStart(R"(^\s*interface (\w+) : )");
    const std::regex writer(R"(propput\] HRESULT (\w+)\(\[in(?:, out)?\] [\w*]+ (\w+)\))");
    std::istringstream lines(idl);
    std::string line, current;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, match, interfaceStart)) current = match[1];
        else if (std::regex_search(line, match, writer)) names[current + "." + match[1].str()] = match[2];
    }
    return names;
}

// One row per member name, in the order of first appearance: id, name, kind,
// parameters (a property's are its writer's value), result (the type read back).
std::vector<Row> MemberRows(ITypeInfo* info, const std::map<std::string, std::string>& writerNames) {
    struct Member {
        MEMBERID id = 0;
        bool method = false, reads = false, writes = false;
        std::string parameters, result;
    };
    std::vector<std::string> order;
    std::map<std::string, Member> members;
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes))) return {};
    const WORD count = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (UINT slot = 0; slot < count; ++slot) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(slot, &desc))) continue;
        BSTR names[16] = {};
        UINT named = 0;
        info->GetNames(desc->memid, names, 16, &named);
        const std::string name = Narrow(names[0]);
        if (!members.count(name)) order.push_back(name);
        Member& member = members[name];
        member.id = desc->memid;
        std::string parameters, result;
        for (SHORT i = 0; i < desc->cParams; ++i) {
            const ELEMDESC& element = desc->lprgelemdescParam[i];
            if (element.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) {
                result = TypeName(info, *element.tdesc.lptdesc);
                continue;
            }
            std::string parameter;
            if (desc->invkind == INVOKE_FUNC && i + 1 < static_cast<SHORT>(named)) {
                parameter = Narrow(names[i + 1]);
            } else {
                const auto writer = writerNames.find(Name(info) + "." + name);
                parameter = writer == writerNames.end() ? "?" : writer->second;
            }
            parameters += (parameters.empty() ? "" : ", ") + ParameterText(info, element) + " " + parameter;
        }
        if (desc->invkind == INVOKE_PROPERTYGET) {
            member.reads = true;
            member.result = result;
        } else if (desc->invkind & (INVOKE_PROPERTYPUT | INVOKE_PROPERTYPUTREF)) {
            member.writes = true;
            member.parameters = parameters;
        } else {
            member.method = true;
            member.parameters = parameters;
            member.result = result;
        }
        for (BSTR& text : names) SysFreeString(text);
        info->ReleaseFuncDesc(desc);
    }
    std::vector<Row> rows;
    for (const std::string& name : order) {
        const Member& member = members[name];
        const std::string kind = member.method                  ? "method"
                                 : member.reads && member.writes ? "property, read and write"
                                 : member.reads                  ? "property, read only"
                                                                 : "property, write only";
        rows.push_back({Hex(static_cast<unsigned long>(member.id)), Code(name), kind,
                        member.parameters.empty() ? "—" : Code(member.parameters),
                        member.result.empty() ? "—" : Code(member.result)});
    }
    return rows;
}

struct TypeLibraryTables {
    std::vector<Row> classes, interfaces;
    std::map<std::string, std::vector<Row>> members, enumerations;
};

TypeLibraryTables TablesOf(ITypeLib* library, const std::map<std::string, std::string>& writerNames) {
    TypeLibraryTables tables;
    std::map<std::string, std::string> classOfInterface;
    for (UINT index = 0; index < library->GetTypeInfoCount(); ++index) {
        ComPtr<ITypeInfo> info;
        TYPEATTR* attributes = nullptr;
        if (FAILED(library->GetTypeInfo(index, &info)) || FAILED(info->GetTypeAttr(&attributes))) continue;
        const std::string name = Name(info.Get());
        if (attributes->typekind == TKIND_COCLASS) {
            std::string implemented;
            for (UINT i = 0; i < attributes->cImplTypes; ++i) {
                HREFTYPE reference = 0;
                ComPtr<ITypeInfo> interfaceInfo;
                INT flags = 0;
                info->GetRefTypeOfImplType(i, &reference);
                info->GetImplTypeFlags(i, &flags);
                if (FAILED(info->GetRefTypeInfo(reference, &interfaceInfo))) continue;
                const std::string interfaceName = Name(interfaceInfo.Get());
                classOfInterface[interfaceName] = name;
                implemented += (implemented.empty() ? "" : ", ") + Code(interfaceName) +
                               ((flags & IMPLTYPEFLAG_FDEFAULT) ? " (default)" : "");
            }
            tables.classes.push_back({Code("quorlin." + name), Code(name), Code(GuidText(attributes->guid)), implemented});
        } else if (attributes->typekind == TKIND_ENUM) {
            std::vector<Row>& values = tables.enumerations[name];
            for (UINT i = 0; i < attributes->cVars; ++i) {
                VARDESC* desc = nullptr;
                if (FAILED(info->GetVarDesc(i, &desc))) continue;
                values.push_back({Code(Name(info.Get(), desc->memid)), std::to_string(V_I4(desc->lpvarValue))});
                info->ReleaseVarDesc(desc);
            }
        } else if (attributes->typekind == TKIND_DISPATCH) {
            ComPtr<ITypeInfo> vtable = VtableHalf(info.Get());
            if (vtable) {
                tables.interfaces.push_back({Code(name), Code(GuidText(attributes->guid)), Code(BaseName(vtable.Get()))});
                tables.members[name] = MemberRows(vtable.Get(), writerNames);
            }
        }
        info->ReleaseTypeAttr(attributes);
    }
    for (Row& row : tables.interfaces) row.push_back(Code(classOfInterface[row[0].substr(1, row[0].size() - 2)]));
    return tables;
}

TEST(Reference, DocumentsEveryClassInterfaceMemberAndEnumeration) {
    const std::string reference = RepositoryFile("docs/reference.md");
    ComPtr<ITypeLib> library = LibraryFromDll();
    ASSERT_TRUE(library);
    const TypeLibraryTables tables =
        TablesOf(library.Get(), WriterValueNames(RepositoryFile("src/com/quorlin.idl")));
    ASSERT_EQ(4u, tables.classes.size());
    ASSERT_EQ(11u, tables.interfaces.size());
    ASSERT_EQ(4u, tables.enumerations.size());
    ExpectRows(tables.classes, TableAfter(reference, "## Classes"), "classes");
    ExpectRows(tables.interfaces, TableAfter(reference, "## Interfaces"), "interfaces");
    for (const auto& [name, rows] : tables.members)
        ExpectRows(rows, TableAfter(reference, "### `" + name + "`"), "members of " + name);
    for (const auto& [name, rows] : tables.enumerations)
        ExpectRows(rows, TableAfter(reference, "### `" + name + "`"), "values of " + name);
}

// The error constants as the source declares them: codes by namespace, texts.
struct DeclaredErrors {
    std::set<std::string> codes, sources, messages;
};

DeclaredErrors ErrorsDeclaredIn(const std::string& header) {
    DeclaredErrors declared;
    const std::regex namespaceStart(R"(^namespace (\w+) \{)");
    const std::regex relative(R"(constexpr HRESULT \w+ = kErrorBase \+ (\d+);)");
    const std::regex absolute(R"(constexpr HRESULT \w+ = static_cast<HRESULT>\((0x[0-9A-Fa-f]{8})\);)");
    const std::regex text(R"re(constexpr const wchar_t\* \w+ = L"(.*)";)re");
    std::istringstream lines(header);
    std::string line, space;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, match, namespaceStart)) space = match[1];
        if (line.rfind("}", 0) == 0) space.clear();
        const bool codes = space.size() > 6 && space.compare(space.size() - 6, 6, "_error") == 0;
        if (codes && std::regex_search(line, match, relative))
            declared.codes.insert(Hex(0x80040000ul + std::stoul(match[1])));
        else if (codes && std::regex_search(line, match, absolute))
            declared.codes.insert(Hex(std::stoul(match[1], nullptr, 16)));
        else if (std::regex_search(line, match, text) && space == "message")
            declared.messages.insert(match[1]);
        else if (std::regex_search(line, match, text) && space == "source")
            declared.sources.insert(match[1]);
    }
    return declared;
}

// Hex and signed decimal of every row agree; every row's code is one of the
// code's own and every declared code, source and text has a row.
TEST(Reference, DocumentsEveryErrorTheComponentRaises) {
    const std::string reference = RepositoryFile("docs/reference.md");
    DeclaredErrors declared = ErrorsDeclaredIn(RepositoryFile("src/platform/Constants.h"));
    ASSERT_GT(declared.codes.size(), 25u);
    ASSERT_EQ(4u, declared.sources.size());
    // The frame's own results when memory runs out or the unexpected happens.
    declared.codes.insert(Hex(static_cast<unsigned long>(E_OUTOFMEMORY)));
    declared.codes.insert(Hex(static_cast<unsigned long>(E_UNEXPECTED)));

    std::set<std::string> codes, sources, descriptions;
    const std::vector<Row> own = TableAfter(reference, "## Errors the component raises");
    for (const Row& row : own) {
        ASSERT_GE(row.size(), 5u) << Joined(row, row.size());
        codes.insert(row[0]);
        for (size_t start = 0; start < row[2].size();) {  // "A", "B": raised with either source
            const size_t comma = row[2].find(", ", start);
            sources.insert(row[2].substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            start = comma == std::string::npos ? row[2].size() : comma + 2;
        }
        descriptions.insert(row[3]);
    }
    const std::vector<Row> runtime = TableAfter(reference, "## Errors of the dispatch layer");
    for (const std::vector<Row>* table : {&own, &runtime}) {
        for (const Row& row : *table) {
            ASSERT_GE(row.size(), 3u);
            const unsigned long code = std::stoul(row[0], nullptr, 16);
            EXPECT_EQ(std::to_string(static_cast<long>(static_cast<LONG>(code))), row[1]) << row[0];
        }
    }
    for (const std::string& code : declared.codes) EXPECT_TRUE(codes.count(code)) << "no row for " << code;
    for (const std::string& code : codes) EXPECT_TRUE(declared.codes.count(code)) << code << " is not the code's";
    for (const std::string& source : declared.sources) EXPECT_TRUE(sources.count("\"" + source + "\"")) << source;
    for (const std::string& source : sources)
        EXPECT_TRUE(declared.sources.count(source.substr(1, source.size() - 2))) << source << " is not a source";
    for (const std::string& message : declared.messages) {
        bool found = false;
        for (const std::string& description : descriptions) found = found || description.find("\"" + message + "\"") != std::string::npos;
        EXPECT_TRUE(found) << "no row describes \"" << message << "\"";
    }
}

}  // namespace

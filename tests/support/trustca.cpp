// Adds a CA certificate (DER file) to the machine's trusted roots: run inside
// the private Wine prefix only, so that the tests' TLS server is trusted there
// and nowhere else.
#include <windows.h>
#include <wincrypt.h>
#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trustca FILE.der\n");
        return 2;
    }
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::vector<BYTE> der(GetFileSize(file, nullptr));
    DWORD read = 0;
    const BOOL readAll = ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &read, nullptr);
    CloseHandle(file);
    if (!readAll || read != der.size()) return 1;
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!root) return 1;
    const BOOL added = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), read,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(root, 0);
    if (!added) std::fprintf(stderr, "trustca: %lu\n", GetLastError());
    return added ? 0 : 1;
}

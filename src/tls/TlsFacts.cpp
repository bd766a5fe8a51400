#include "TlsFacts.h"

#include "CertificateCheck.h"

#include <schannel.h>

#include <cstdio>
#include <string>

namespace quorlin {
namespace {

const char* VersionName(DWORD protocol) {
    if (protocol & SP_PROT_TLS1_3_CLIENT) return "TLS 1.3";
    if (protocol & SP_PROT_TLS1_2_CLIENT) return "TLS 1.2";
    if (protocol & SP_PROT_TLS1_1_CLIENT) return "TLS 1.1";
    if (protocol & SP_PROT_TLS1_0_CLIENT) return "TLS 1.0";
    return nullptr;
}

std::wstring NameText(const CERT_NAME_BLOB& name) {
    CERT_NAME_BLOB copy = name;
    const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD size = CertNameToStrW(X509_ASN_ENCODING, &copy, flags, nullptr, 0);
    if (size <= 1) return std::wstring();
    std::wstring text(size, L'\0');
    CertNameToStrW(X509_ASN_ENCODING, &copy, flags, text.data(), size);
    text.resize(size - 1);
    return text;
}

std::string UtcText(const FILETIME& time) {
    SYSTEMTIME utc{};
    if (!FileTimeToSystemTime(&time, &utc)) return "?";
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u UTC", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                  utc.wMinute, utc.wSecond);
    return text;
}

}  // namespace

void LogTlsProtocol(SessionLog& log, CtxtHandle& context) {
    SecPkgContext_CipherInfo cipher{};
    if (QueryContextAttributesW(&context, SECPKG_ATTR_CIPHER_INFO, &cipher) != SEC_E_OK) cipher.szCipherSuite[0] = 0;
    SecPkgContext_ConnectionInfo connection{};
    const bool known = QueryContextAttributesW(&context, SECPKG_ATTR_CONNECTION_INFO, &connection) == SEC_E_OK;
    const char* version = known ? VersionName(connection.dwProtocol) : nullptr;
    std::wstring line = L"TLS negotiated: ";
    line += version ? std::wstring(version, version + std::char_traits<char>::length(version)) : L"version unknown";
    if (cipher.szCipherSuite[0]) {
        line += L", " + std::wstring(cipher.szCipherSuite);
        // The suite's number too, where the system's name for it is incomplete.
        if (cipher.dwCipherSuite != 0) {
            wchar_t number[16];
            swprintf(number, 16, L" (0x%04lX)", static_cast<unsigned long>(cipher.dwCipherSuite));
            line += number;
        }
    }
    else if (known) line += L", cipher strength " + std::to_wstring(connection.dwCipherStrength) + L" bits";
    log.Write(LogMark::kNote, line);
}

void LogCertificate(SessionLog& log, PCCERT_CONTEXT certificate) {
    if (!certificate || !certificate->pCertInfo) return;
    const CERT_INFO& info = *certificate->pCertInfo;
    log.Write(LogMark::kNote, L"certificate subject: " + NameText(info.Subject));
    log.Write(LogMark::kNote, L"certificate issuer: " + NameText(info.Issuer));
    log.Write(LogMark::kNote, "certificate valid from " + UtcText(info.NotBefore) + " to " + UtcText(info.NotAfter));
    std::string fingerprint;
    if (CertificateFingerprint(certificate, fingerprint))
        log.Write(LogMark::kNote, L"certificate SHA-256 fingerprint: " + FingerprintText(fingerprint));
}

}  // namespace quorlin

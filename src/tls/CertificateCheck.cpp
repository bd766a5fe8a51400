// Gives CERT_CHAIN_PARA its retrieval time-out field.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
// Winsock first: it must come before <windows.h>, for the address parsing.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "CertificateCheck.h"

#include "../platform/WinInetAPI.h"

#include <bcrypt.h>

#include <cstddef>
#include <cstring>
#include <utility>

namespace quorlin {

namespace {

// SECURITY_FLAG_IGNORE_REVOCATION and SECURITY_FLAG_IGNORE_CERT_CN_INVALID,
// for the SSL chain policy.
constexpr DWORD kPolicyIgnoresRevocation = 0x00000080;
constexpr DWORD kPolicyIgnoresName = 0x00001000;

constexpr size_t kFingerprintSize = 32;

// Revocation servers get this long in all; an unreachable one is no failure.
constexpr DWORD kRevocationMilliseconds = 3000;

int HexValue(wchar_t digit) {
    if (digit >= L'0' && digit <= L'9') return digit - L'0';
    if (digit >= L'a' && digit <= L'f') return digit - L'a' + 10;
    if (digit >= L'A' && digit <= L'F') return digit - L'A' + 10;
    return -1;
}

bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}

DWORD PolicyErrorCode(LONG error) {
    switch (static_cast<HRESULT>(error)) {
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_CHAINING:
    case CERT_E_UNTRUSTEDTESTROOT:
        return ERROR_INTERNET_INVALID_CA;
    case CERT_E_CN_NO_MATCH:
        return ERROR_INTERNET_SEC_CERT_CN_INVALID;
    case CERT_E_EXPIRED:
    case CERT_E_VALIDITYPERIODNESTING:
        return ERROR_INTERNET_SEC_CERT_DATE_INVALID;
    default:
        return ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    }
}

// The bytes of the address `host` is written as (IPv4, or IPv6 with or
// without brackets, in any of its forms); empty for a host name.
std::string AddressBytes(const std::wstring& host) {
    std::wstring text = host;
    if (text.size() > 2 && text.front() == L'[' && text.back() == L']') text = text.substr(1, text.size() - 2);
    IN_ADDR v4{};
    if (InetPtonW(AF_INET, text.c_str(), &v4) == 1) return std::string(reinterpret_cast<const char*>(&v4), sizeof v4);
    IN6_ADDR v6{};
    if (InetPtonW(AF_INET6, text.c_str(), &v6) == 1) return std::string(reinterpret_cast<const char*>(&v6), sizeof v6);
    return std::string();
}

// Whether one of the certificate's IP address entries is `address`; its DNS
// entries never name an address.
bool NamesAddress(PCCERT_CONTEXT certificate, const std::string& address) {
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (!extension) return false;
    CERT_ALT_NAME_INFO* names = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size))
        return false;
    bool found = false;
    for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
        found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == address.size() &&
                std::memcmp(entry.IPAddress.pbData, address.data(), address.size()) == 0;
    }
    LocalFree(names);
    return found;
}

}  // namespace

bool ParseFingerprint(std::wstring_view text, std::string& bytes) {
    bytes.clear();
    std::string parsed;
    int high = -1;
    for (const wchar_t character : text) {
        if (character == L':') continue;
        const int value = HexValue(character);
        if (value < 0) return false;
        if (high < 0) {
            high = value;
        } else {
            parsed.push_back(static_cast<char>((high << 4) | value));
            high = -1;
        }
    }
    if (high >= 0 || parsed.size() != kFingerprintSize) return false;
    bytes = std::move(parsed);
    return true;
}

std::wstring FingerprintText(const std::string& bytes) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text;
    text.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        const unsigned char value = static_cast<unsigned char>(byte);
        if (!text.empty()) text.push_back(L':');
        text.push_back(kDigits[value >> 4]);
        text.push_back(kDigits[value & 0x0F]);
    }
    return text;
}

bool CertificateFingerprint(PCCERT_CONTEXT certificate, std::string& bytes) {
    bytes.clear();
    if (!certificate || !certificate->pbCertEncoded) return false;
    BYTE hash[kFingerprintSize] = {};
    DWORD hashSize = sizeof(hash);
    if (!CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, certificate->pbCertEncoded,
                               certificate->cbCertEncoded, hash, &hashSize) ||
        hashSize != kFingerprintSize)
        return false;
    bytes.assign(reinterpret_cast<const char*>(hash), hashSize);
    return true;
}

bool CheckServerCertificate(PCCERT_CONTEXT certificate, const std::wstring& host, const std::string& pinned) {
    if (!certificate) return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);

    if (!pinned.empty()) {
        std::string fingerprint;
        if (!CertificateFingerprint(certificate, fingerprint)) return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);
        return fingerprint == pinned ? true : Fail(ERROR_INTERNET_INVALID_CA);
    }

    LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA chainPara{};
    // The size up to the retrieval time-out, without the later strong-sign
    // fields: some systems ignore the time-out in a structure of another size.
    chainPara.cbSize = offsetof(CERT_CHAIN_PARA, pStrongSignPara);
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
    chainPara.dwUrlRetrievalTimeout = kRevocationMilliseconds;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                                 CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                                     CERT_CHAIN_REVOCATION_ACCUMULATIVE_TIMEOUT,
                                 nullptr, &chain) ||
        !chain)
        return Fail(ERROR_INTERNET_SECURITY_CHANNEL_ERROR);

    // Some systems let a partial chain through the policy below: judge the
    // chain's own status first. Revocation that could not be checked is no failure.
    const DWORD chainErrors = chain->TrustStatus.dwErrorStatus &
                              ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                                  CERT_TRUST_IS_OFFLINE_REVOCATION);
    DWORD failure = 0;
    if (chainErrors & CERT_TRUST_IS_REVOKED)
        failure = ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
    else if (chainErrors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_CYCLIC))
        failure = ERROR_INTERNET_INVALID_CA;
    else if (chainErrors & CERT_TRUST_IS_NOT_TIME_VALID)
        failure = ERROR_INTERNET_SEC_CERT_DATE_INVALID;

    if (failure == 0) {
        HTTPSPolicyCallbackData sslPolicy{};
        sslPolicy.cbStruct = sizeof(sslPolicy);
        sslPolicy.dwAuthType = AUTHTYPE_SERVER;
        // Revocation was judged from the chain above; some systems' policy
        // would fail an unreachable revocation server despite the flags below.
        sslPolicy.fdwChecks = kPolicyIgnoresRevocation;
        // An address is matched below, against the address entries alone:
        // some systems' policy matches it against DNS names (wildcards too)
        // and ignores the address entries.
        const std::string address = AddressBytes(host);
        if (!address.empty()) sslPolicy.fdwChecks |= kPolicyIgnoresName;
        else sslPolicy.pwszServerName = const_cast<WCHAR*>(host.c_str());
        CERT_CHAIN_POLICY_PARA policyPara{};
        policyPara.cbSize = sizeof(policyPara);
        policyPara.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
        policyPara.pvExtraPolicyPara = &sslPolicy;
        CERT_CHAIN_POLICY_STATUS policyStatus{};
        policyStatus.cbSize = sizeof(policyStatus);
        if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policyPara, &policyStatus))
            failure = ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        else if (policyStatus.dwError != 0)
            failure = PolicyErrorCode(policyStatus.dwError);
        else if (chainErrors != 0)
            failure = ERROR_INTERNET_SECURITY_CHANNEL_ERROR;
        else if (!address.empty() && !NamesAddress(certificate, address))
            failure = ERROR_INTERNET_SEC_CERT_CN_INVALID;
    }
    CertFreeCertificateChain(chain);
    return failure == 0 ? true : Fail(failure);
}

}  // namespace quorlin

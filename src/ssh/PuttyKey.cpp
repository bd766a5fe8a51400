#include "PuttyKey.h"

#include "KeyFileError.h"
#include "OpenSshKey.h"
#include "SshWire.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/sha.h>

#include <cstdint>
#include <map>

namespace quorlin {
namespace {

constexpr std::string_view kHeader = "PuTTY-User-Key-File-";
constexpr size_t kMostLines = 4096;
constexpr size_t kCipherKeyBytes = 32, kIvBytes = 16, kMacKeyBytes = 32;
constexpr size_t kEd25519Bytes = 32;

// The file's parts: its header fields and the two base64 blocks.
struct PuttyFile {
    int version = 0;
    std::string type, encryption, comment, publicBlob, privateBlob, mac;
    std::map<std::string, std::string, std::less<>> fields;
};

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line) {
        if (text_.empty()) return false;
        const size_t end = text_.find('\n');
        line = text_.substr(0, end);
        text_.remove_prefix(end == std::string_view::npos ? text_.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return true;
    }
    // "Name: value", the name as expected.
    bool Field(std::string_view name, std::string_view& value) {
        std::string_view line;
        if (!Next(line) || line.size() < name.size() + 2 || line.substr(0, name.size()) != name ||
            line.substr(name.size(), 2) != ": ")
            return false;
        value = line.substr(name.size() + 2);
        return true;
    }
    // A count of base64 lines, then those lines, decoded.
    bool Block(std::string_view name, std::string& data) {
        std::string_view count, line;
        if (!Field(name, count) || count.empty() || count.size() > 4 ||
            count.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        const size_t lines = std::stoul(std::string(count));
        if (lines > kMostLines) return false;
        std::string encoded;
        for (size_t i = 0; i < lines; ++i) {
            if (!Next(line)) return false;
            encoded.append(line);
        }
        const bool decoded = Unbase64(encoded, data);
        Wipe(encoded);
        return decoded;
    }

private:
    std::string_view text_;
};

bool FromHex(std::string_view hex, std::string& bytes) {
    if (hex.size() % 2 != 0) return false;
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        int value = 0;
        for (const char c : hex.substr(i, 2)) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<char>(value));
    }
    return true;
}

bool Parse(std::string_view text, PuttyFile& file) {
    LineReader reader(text);
    std::string_view line, value;
    if (!reader.Next(line) || line.substr(0, kHeader.size()) != kHeader) return false;
    line.remove_prefix(kHeader.size());
    if (line.substr(0, 3) == "2: ") file.version = 2;
    else if (line.substr(0, 3) == "3: ") file.version = 3;
    else return false;
    file.type = line.substr(3);
    if (!reader.Field("Encryption", value)) return false;
    file.encryption = value;
    if (!reader.Field("Comment", value)) return false;
    file.comment = value;
    if (!reader.Block("Public-Lines", file.publicBlob)) return false;
    if (file.version == 3 && file.encryption != "none") {
        for (const char* name :
             {"Key-Derivation", "Argon2-Memory", "Argon2-Passes", "Argon2-Parallelism", "Argon2-Salt"}) {
            if (!reader.Field(name, value)) return false;
            file.fields.emplace(name, value);
        }
    }
    if (!reader.Block("Private-Lines", file.privateBlob) || !reader.Field("Private-MAC", value)) return false;
    return FromHex(value, file.mac);
}

unsigned long long Number(std::string_view text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string_view::npos) return 0;
    return std::stoull(std::string(text));
}

// Version 3's keys: Argon2 of the passphrase gives the cipher key, its IV
// and the MAC key, in this order.
bool Argon2Keys(const PuttyFile& file, const std::string& passphrase, std::string& keys) {
    const std::string& flavour = file.fields.find("Key-Derivation")->second;
    const char* kdfName = flavour == "Argon2id" ? "ARGON2ID"
                          : flavour == "Argon2i" ? "ARGON2I"
                          : flavour == "Argon2d" ? "ARGON2D"
                                                 : nullptr;
    uint32_t memory = static_cast<uint32_t>(Number(file.fields.find("Argon2-Memory")->second));
    uint32_t passes = static_cast<uint32_t>(Number(file.fields.find("Argon2-Passes")->second));
    uint32_t lanes = static_cast<uint32_t>(Number(file.fields.find("Argon2-Parallelism")->second));
    uint32_t threads = 1;
    std::string salt;
    if (!kdfName || memory == 0 || passes == 0 || lanes == 0 || lanes > 255 ||
        !FromHex(file.fields.find("Argon2-Salt")->second, salt))
        return UnknownKeyFormat();
    if (memory > kMostArgon2KiB || static_cast<unsigned long long>(memory) * passes > kMostArgon2Work)
        return KeyTooCostly();
    EVP_KDF* kdf = EVP_KDF_fetch(nullptr, kdfName, nullptr);
    EVP_KDF_CTX* context = kdf ? EVP_KDF_CTX_new(kdf) : nullptr;
    OSSL_PARAM parameters[] = {
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_PASSWORD, const_cast<char*>(passphrase.data()),
                                          passphrase.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT, salt.data(), salt.size()),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ITER, &passes),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ARGON2_MEMCOST, &memory),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_ARGON2_LANES, &lanes),
        OSSL_PARAM_construct_uint32(OSSL_KDF_PARAM_THREADS, &threads),
        OSSL_PARAM_construct_end(),
    };
    keys.assign(kCipherKeyBytes + kIvBytes + kMacKeyBytes, '\0');
    const bool derived = context && EVP_KDF_derive(context, reinterpret_cast<unsigned char*>(keys.data()), keys.size(),
                                                   parameters) == 1;
    EVP_KDF_CTX_free(context);
    EVP_KDF_free(kdf);
    if (!derived)
        return KeyFileFailure(ERROR_INVALID_DATA, L"The private key file's Argon2 key derivation failed (its parameters "
                                                  L"or the memory it needs).");
    return true;
}

// Version 2's keys: two SHA-1 digests of the passphrase make the cipher key
// (its IV is zero); the MAC key is the SHA-1 of a fixed text and the passphrase.
void Version2Keys(const std::string& passphrase, bool encrypted, std::string& keys) {
    unsigned char digest[SHA_DIGEST_LENGTH];
    for (char counter = 0; counter < 2; ++counter) {
        std::string input(3, '\0');
        input.push_back(counter);
        input.append(passphrase);
        SHA1(reinterpret_cast<const unsigned char*>(input.data()), input.size(), digest);
        keys.append(reinterpret_cast<const char*>(digest), SHA_DIGEST_LENGTH);
        Wipe(input);
    }
    keys.resize(kCipherKeyBytes);
    keys.append(kIvBytes, '\0');
    std::string macInput = "putty-private-key-file-mac-key" + (encrypted ? passphrase : std::string());
    SHA1(reinterpret_cast<const unsigned char*>(macInput.data()), macInput.size(), digest);
    keys.append(reinterpret_cast<const char*>(digest), SHA_DIGEST_LENGTH);
    Wipe(macInput);
    OPENSSL_cleanse(digest, sizeof digest);
}

bool Decrypt(std::string_view keys, std::string& blob) {
    if (blob.size() % 16 != 0) return UnknownKeyFormat();
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    const auto key = reinterpret_cast<const unsigned char*>(keys.data());
    int written = 0;
    const bool decrypted =
        context && EVP_DecryptInit_ex(context, EVP_aes_256_cbc(), nullptr, key, key + kCipherKeyBytes) == 1 &&
        EVP_CIPHER_CTX_set_padding(context, 0) == 1 &&
        EVP_DecryptUpdate(context, reinterpret_cast<unsigned char*>(blob.data()), &written,
                          reinterpret_cast<const unsigned char*>(blob.data()), static_cast<int>(blob.size())) == 1;
    EVP_CIPHER_CTX_free(context);
    return decrypted ? true : UnknownKeyFormat();
}

bool MacMatches(const PuttyFile& file, std::string_view macKey) {
    std::string data;
    PutText(data, file.type);
    PutText(data, file.encryption);
    PutText(data, file.comment);
    PutText(data, file.publicBlob);
    PutText(data, file.privateBlob);
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const bool made = HMAC(file.version == 2 ? EVP_sha1() : EVP_sha256(), macKey.data(), static_cast<int>(macKey.size()),
                           reinterpret_cast<const unsigned char*>(data.data()), data.size(), mac, &length) != nullptr;
    Wipe(data);
    return made && length == file.mac.size() && CRYPTO_memcmp(mac, file.mac.data(), length) == 0;
}

// The private fields in OpenSSH's order, from PuTTY's public and private blobs.
bool OpenSshRecord(std::string_view type, std::string_view publicBlob, std::string_view privateBlob,
                   std::string& record) {
    WireReader pub(publicBlob), secret(privateBlob);
    std::string_view name;
    if (!pub.Text(name) || name != type) return false;
    PutText(record, type);
    if (type == "ssh-rsa") {
        std::string_view e, n, d, p, q, iqmp;
        if (!pub.Unsigned(e) || !pub.Unsigned(n) || !secret.Unsigned(d) || !secret.Unsigned(p) ||
            !secret.Unsigned(q) || !secret.Unsigned(iqmp))
            return false;
        for (const std::string_view part : {n, e, d, iqmp, p, q}) PutUnsigned(record, part);
        return true;
    }
    if (type == "ssh-ed25519") {
        // The secret is the seed as a little-endian number: its high zero bytes may be left out.
        std::string_view point, seed;
        if (!pub.Text(point) || point.size() != kEd25519Bytes || !secret.Text(seed) || seed.size() > kEd25519Bytes)
            return false;
        std::string full(seed);
        full.resize(kEd25519Bytes, '\0');
        // The seed must give the public key: anything else is a damaged file.
        EVP_PKEY* key = EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr,
                                                     reinterpret_cast<const unsigned char*>(full.data()), full.size());
        unsigned char derived[kEd25519Bytes];
        size_t length = sizeof derived;
        const bool matches = key && EVP_PKEY_get_raw_public_key(key, derived, &length) == 1 &&
                             length == kEd25519Bytes && std::string_view(reinterpret_cast<char*>(derived), length) == point;
        EVP_PKEY_free(key);
        if (!matches) {
            Wipe(full);
            return false;
        }
        PutText(record, point);
        full.append(point);
        PutText(record, full);
        Wipe(full);
        return true;
    }
    std::string_view curve, point, scalar;
    if (!pub.Text(curve) || !pub.Text(point) || !secret.Unsigned(scalar)) return false;
    PutText(record, curve);
    PutText(record, point);
    PutUnsigned(record, scalar);
    return true;
}

}  // namespace

bool IsPuttyKeyFile(std::string_view file) { return file.substr(0, kHeader.size()) == kHeader; }

bool ReadPuttyKey(std::string_view text, const std::string& passphrase, std::string& unencrypted) {
    PuttyFile file;
    if (!Parse(text, file)) return UnknownKeyFormat();
    if (!IsSupportedKeyType(file.type)) return UnsupportedKeyType(file.type);
    const bool encrypted = file.encryption != "none";
    if (encrypted && file.encryption != "aes256-cbc")
        return KeyFileFailure(ERROR_NOT_SUPPORTED,
                              L"The private key file is encrypted with a cipher the component cannot use.");
    if (encrypted && passphrase.empty()) return WrongKeyPassphrase();
    std::string keys;
    if (file.version == 2) Version2Keys(passphrase, encrypted, keys);
    else if (!encrypted) keys.assign(kCipherKeyBytes + kIvBytes, '\0');  // and an empty MAC key
    else if (!Argon2Keys(file, passphrase, keys)) return false;
    bool read = !encrypted || Decrypt(keys, file.privateBlob);
    if (read && !MacMatches(file, std::string_view(keys).substr(kCipherKeyBytes + kIvBytes)))
        read = encrypted ? WrongKeyPassphrase()
                         : KeyFileFailure(ERROR_INVALID_DATA, L"The private key file is damaged: its MAC does not "
                                                              L"match its content.");
    std::string record;
    if (read && !OpenSshRecord(file.type, file.publicBlob, file.privateBlob, record)) read = UnknownKeyFormat();
    if (read) unencrypted = OpenSshKeyFile(file.publicBlob, record);
    Wipe(keys);
    Wipe(record);
    Wipe(file.privateBlob);
    return read;
}

}  // namespace quorlin

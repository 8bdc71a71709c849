#include "db/jet/file/office_crypto.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/file/ciphers.h"
#include "db/jet/base/text.h"

namespace qv::jet {
namespace {

using crypto::Bytes;
using crypto::ByteView;

// The fixed blocks that tell the three password-derived keys of the Agile scheme apart.
constexpr uint8_t kVerifierInputBlock[8] = {0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79};
constexpr uint8_t kVerifierValueBlock[8] = {0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E};
constexpr uint8_t kKeyValueBlock[8] = {0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6};

constexpr uint32_t kFlagCryptoApi = 0x04;
constexpr uint32_t kFlagAes = 0x20;
constexpr uint32_t kAlgorithmRc4 = 0x6801;
constexpr uint32_t kAlgorithmAes128 = 0x660E, kAlgorithmAes256 = 0x6610;
constexpr uint32_t kStandardSpinCount = 50000;
constexpr uint32_t kHashSha1 = 0x8004;
constexpr size_t kMaxPasswordUnits = 255;
// Iterations of the password hash in databases we create (as Access uses).
constexpr uint32_t kSpinCount = 100000;

Bytes passwordBytes(const std::string& password) {
  std::string ucs2 = encodeUcs2(password);
  ucs2.resize(std::min(ucs2.size(), 2 * kMaxPasswordUnits));
  return Bytes(ucs2.begin(), ucs2.end());
}

std::array<uint8_t, 4> pageKey(uint32_t encodingKey, uint32_t page) {
  std::array<uint8_t, 4> k{};
  put32(k.data(), 0, encodingKey ^ page);
  return k;
}

Bytes fitted(Bytes b, size_t n, uint8_t pad) {
  b.resize(n, pad);
  return b;
}

DbError damaged(const std::string& path, const std::string& why) {
  return DbError(kErrFormat, "'" + path + "' is damaged: its encryption description " + why);
}

// --- Agile ------------------------------------------------------------------------

// The attributes of the first element whose name ends with tag (namespace prefixes
// vary), from a small, machine-written XML text.
std::optional<std::map<std::string, std::string>> xmlAttributes(std::string_view xml, std::string_view tag) {
  size_t at = 0;
  while ((at = xml.find('<', at)) != std::string_view::npos) {
    ++at;
    size_t nameEnd = xml.find_first_of(" \t\r\n/>", at);
    if (nameEnd == std::string_view::npos) return std::nullopt;
    std::string_view name = xml.substr(at, nameEnd - at);
    if (name.size() < tag.size() || name.substr(name.size() - tag.size()) != tag ||
        (name.size() > tag.size() && name[name.size() - tag.size() - 1] != ':'))
      continue;
    std::map<std::string, std::string> out;
    size_t p = nameEnd;
    for (;;) {
      while (p < xml.size() && std::strchr(" \t\r\n", xml[p])) ++p;
      if (p >= xml.size()) return std::nullopt;
      if (xml[p] == '/' || xml[p] == '>') return out;
      size_t eq = xml.find('=', p);
      if (eq == std::string_view::npos || eq + 1 >= xml.size()) return std::nullopt;
      char quote = xml[eq + 1];
      if (quote != '"' && quote != '\'') return std::nullopt;
      size_t close = xml.find(quote, eq + 2);
      if (close == std::string_view::npos) return std::nullopt;
      std::string key(xml.substr(p, eq - p));
      while (!key.empty() && std::strchr(" \t\r\n", key.back())) key.pop_back();
      out[key] = std::string(xml.substr(eq + 2, close - eq - 2));
      p = close + 1;
    }
  }
  return std::nullopt;
}

struct AgileParams {
  std::string hashAlgorithm;
  uint32_t hashSize = 0, blockSize = 16, keyBits = 256;
  Bytes salt;
};

struct PasswordKeyEncryptor : AgileParams {
  uint32_t spinCount = 0;
  Bytes verifierInput, verifierValue, keyValue;  // encrypted
};

// The password hash after the spin count, shared by the three derived keys.
// The password hash of both AES schemes: hash(salt, password), then rehashed spinCount
// times, each time after the round's number.
Bytes iteratedHash(std::string_view algorithm, ByteView salt, const Bytes& password, uint32_t spinCount) {
  Bytes h = crypto::hash(algorithm, {salt, password});
  uint8_t counter[4];
  for (uint32_t i = 0; i < spinCount; ++i) {
    put32(counter, 0, i);
    h = crypto::hash(algorithm, {ByteView(counter, 4), h});
  }
  return h;
}

Bytes derivedKey(const AgileParams& p, const Bytes& iterated, const uint8_t (&block)[8]) {
  return fitted(crypto::hash(p.hashAlgorithm, {iterated, ByteView(block, 8)}), p.keyBits / 8, 0x36);
}

Bytes aes(bool encrypt, const Bytes& key, const Bytes& iv, Bytes data) {
  data.resize((data.size() + 15) / 16 * 16, 0);
  crypto::aesCbc(encrypt, key, fitted(iv, 16, 0x36), data.data(), data.size());
  return data;
}

class AgilePageCodec final : public PageCodec {
 public:
  AgilePageCodec(Bytes key, AgileParams keyData, uint32_t encodingKey)
      : key_(std::move(key)), keyData_(std::move(keyData)), encodingKey_(encodingKey) {}
  void decode(uint32_t page, uint8_t* data, size_t n) override { apply(false, page, data, n); }
  void encode(uint32_t page, uint8_t* data, size_t n) override { apply(true, page, data, n); }
  uint32_t chainedBlockSize() const override { return 16; }

 private:
  void apply(bool encrypt, uint32_t page, uint8_t* data, size_t n) {
    if (page == 0) return;
    auto k = pageKey(encodingKey_, page);
    Bytes iv =
        fitted(crypto::hash(keyData_.hashAlgorithm, {keyData_.salt, ByteView(k.data(), 4)}), keyData_.blockSize, 0x36);
    crypto::aesCbc(encrypt, key_, iv, data, n);
  }
  Bytes key_;
  AgileParams keyData_;
  uint32_t encodingKey_;
};

uint32_t number(const std::map<std::string, std::string>& a, const char* name, const std::string& path) {
  auto it = a.find(name);
  if (it == a.end() || it->second.empty() || it->second.size() > 9 ||
      !std::all_of(it->second.begin(), it->second.end(), [](char c) { return c >= '0' && c <= '9'; }))
    throw damaged(path, std::string("has no valid ") + name);
  return static_cast<uint32_t>(std::stoul(it->second));
}

Bytes base64(const std::map<std::string, std::string>& a, const char* name, const std::string& path) {
  auto it = a.find(name);
  std::optional<Bytes> b = it == a.end() ? std::nullopt : crypto::fromBase64(it->second);
  if (!b || b->empty()) throw damaged(path, std::string("has no valid ") + name);
  return *b;
}

void readParams(const std::map<std::string, std::string>& a, AgileParams& p, const std::string& path) {
  auto get = [&](const char* k) {
    auto it = a.find(k);
    return it == a.end() ? std::string() : it->second;
  };
  if (get("cipherAlgorithm") != "AES" || get("cipherChaining") != "ChainingModeCBC")
    throw DbError(kErrFormat, "'" + path + "' is encrypted with " + get("cipherAlgorithm") + " " +
                                  get("cipherChaining") + ", which this program cannot read");
  p.hashAlgorithm = get("hashAlgorithm");
  if (crypto::hashSize(p.hashAlgorithm) == 0)
    throw DbError(kErrFormat, "'" + path + "' uses the hash " + p.hashAlgorithm + ", which this program does not know");
  p.hashSize = number(a, "hashSize", path);
  p.blockSize = number(a, "blockSize", path);
  p.keyBits = number(a, "keyBits", path);
  p.salt = base64(a, "saltValue", path);
  if (p.blockSize != 16 || (p.keyBits != 128 && p.keyBits != 192 && p.keyBits != 256) || p.hashSize == 0 ||
      p.hashSize > crypto::hashSize(p.hashAlgorithm))
    throw damaged(path, "has sizes AES cannot use");
}

std::unique_ptr<PageCodec> openAgile(std::string_view xml, uint32_t encodingKey, const std::string& password,
                                     const std::string& path) {
  auto keyData = xmlAttributes(xml, "keyData");
  auto encryptor = xmlAttributes(xml, "encryptedKey");
  if (!keyData || !encryptor) throw damaged(path, "lacks its key data or password key");
  AgileParams data;
  readParams(*keyData, data, path);
  PasswordKeyEncryptor pk;
  readParams(*encryptor, pk, path);
  pk.spinCount = number(*encryptor, "spinCount", path);
  if (pk.spinCount > 10000000) throw damaged(path, "asks for too many hash rounds");
  pk.verifierInput = base64(*encryptor, "encryptedVerifierHashInput", path);
  pk.verifierValue = base64(*encryptor, "encryptedVerifierHashValue", path);
  pk.keyValue = base64(*encryptor, "encryptedKeyValue", path);

  Bytes iterated = iteratedHash(pk.hashAlgorithm, pk.salt, passwordBytes(password), pk.spinCount);
  Bytes input = aes(false, derivedKey(pk, iterated, kVerifierInputBlock), pk.salt, pk.verifierInput);
  Bytes value = aes(false, derivedKey(pk, iterated, kVerifierValueBlock), pk.salt, pk.verifierValue);
  input.resize(pk.salt.size());
  Bytes expected = crypto::hash(pk.hashAlgorithm, {input});
  size_t n = std::min<size_t>(pk.hashSize, expected.size());
  if (value.size() < n ||
      !std::equal(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(n), value.begin()))
    throw DbError(kErrPassword, "Not a valid password.");
  Bytes key = aes(false, derivedKey(pk, iterated, kKeyValueBlock), pk.salt, pk.keyValue);
  if (key.size() < data.keyBits / 8) throw damaged(path, "holds a key that is too short");
  key.resize(data.keyBits / 8);
  return std::make_unique<AgilePageCodec>(std::move(key), std::move(data), encodingKey);
}

// --- RC4 CryptoAPI --------------------------------------------------------------------

class Rc4CryptoApiCodec final : public PageCodec {
 public:
  Rc4CryptoApiCodec(Bytes baseHash, uint32_t keyBits, uint32_t encodingKey)
      : baseHash_(std::move(baseHash)), keyBits_(keyBits), encodingKey_(encodingKey) {}
  void decode(uint32_t page, uint8_t* data, size_t n) override { apply(page, data, n); }
  void encode(uint32_t page, uint8_t* data, size_t n) override { apply(page, data, n); }
  Bytes keyFor(ByteView block) const {
    Bytes key = fitted(crypto::hash("SHA1", {baseHash_, block}), keyBits_ / 8, 0);
    if (keyBits_ == 40) key.resize(16, 0);
    return key;
  }

 private:
  void apply(uint32_t page, uint8_t* data, size_t n) {
    if (page == 0) return;
    auto k = pageKey(encodingKey_, page);
    crypto::rc4(keyFor(ByteView(k.data(), 4)), data, n);
  }
  Bytes baseHash_;
  uint32_t keyBits_;
  uint32_t encodingKey_;
};

// --- Standard AES ---------------------------------------------------------------------

class StandardAesCodec final : public PageCodec {
 public:
  StandardAesCodec(Bytes iteratedHash, uint32_t keyBits, uint32_t encodingKey)
      : iterated_(std::move(iteratedHash)), keyBytes_(keyBits / 8), encodingKey_(encodingKey) {}
  void decode(uint32_t page, uint8_t* data, size_t n) override { apply(false, page, data, n); }
  void encode(uint32_t page, uint8_t* data, size_t n) override { apply(true, page, data, n); }
  // Blocks stand alone; a changed block is written from its start.
  uint32_t chainedBlockSize() const override { return 16; }

  Bytes keyFor(ByteView block) const {
    Bytes f = crypto::hash("SHA1", {iterated_, block});
    auto half = [&](uint8_t fill) {
      uint8_t x[64];
      std::memset(x, fill, sizeof x);
      for (size_t i = 0; i < f.size(); ++i) x[i] ^= f[i];
      return crypto::hash("SHA1", {ByteView(x, sizeof x)});
    };
    Bytes key = half(0x36), second = half(0x5C);
    key.insert(key.end(), second.begin(), second.end());
    key.resize(keyBytes_);
    return key;
  }

 private:
  void apply(bool encrypt, uint32_t page, uint8_t* data, size_t n) {
    if (page == 0) return;
    auto k = pageKey(encodingKey_, page);
    crypto::aesEcb(encrypt, keyFor(ByteView(k.data(), 4)), data, n);
  }
  Bytes iterated_;
  size_t keyBytes_;
  uint32_t encodingKey_;
};

// The CryptoAPI header and verifier shared by the RC4 and the Standard AES scheme.
struct CryptoApiInfo {
  uint32_t algorithm = 0, keyBits = 0;
  ByteView salt;
  Bytes encryptedVerifier;  // then the encrypted verifier hash
};

CryptoApiInfo readCryptoApiInfo(ByteView info, bool aes, const std::string& path) {
  if (info.size() < 12) throw damaged(path, "is too short");
  uint32_t headerLength = get32(info.data(), 8);
  if (headerLength < 32 || headerLength > info.size() - 12) throw damaged(path, "has a bad header length");
  const uint8_t* header = info.data() + 12;
  CryptoApiInfo out;
  out.algorithm = get32(header, 8);
  out.keyBits = get32(header, 16);
  uint32_t hashAlgorithm = get32(header, 12);
  bool knownCipher = aes ? out.algorithm >= kAlgorithmAes128 && out.algorithm <= kAlgorithmAes256
                         : out.algorithm == 0 || out.algorithm == kAlgorithmRc4;
  if (!knownCipher || (hashAlgorithm != 0 && hashAlgorithm != kHashSha1))
    throw DbError(kErrFormat, "'" + path + "' uses an encryption provider this program cannot read");
  const size_t hashBytes = aes ? 32 : 20;
  size_t v = 12 + headerLength;
  if (info.size() < v + 4 + 16 + 16 + 4 + hashBytes) throw damaged(path, "lacks its verifier");
  if (get32(info.data(), v) != 16) throw damaged(path, "has a bad salt size");
  out.salt = info.subspan(v + 4, 16);
  if (get32(info.data(), v + 36) != 20) throw damaged(path, "has a bad verifier hash size");
  out.encryptedVerifier.resize(16 + hashBytes);
  std::memcpy(out.encryptedVerifier.data(), info.data() + v + 20, 16);
  std::memcpy(out.encryptedVerifier.data() + 16, info.data() + v + 40, hashBytes);
  return out;
}

// Whether a decrypted verifier (16 bytes, then its SHA-1) is right.
void checkVerifier(const Bytes& decrypted) {
  Bytes expected = crypto::hash("SHA1", {ByteView(decrypted.data(), 16)});
  if (!std::equal(expected.begin(), expected.end(), decrypted.begin() + 16))
    throw DbError(kErrPassword, "Not a valid password.");
}

std::unique_ptr<PageCodec> openStandardAes(ByteView info, bool aesFlag, uint32_t encodingKey,
                                           const std::string& password, const std::string& path) {
  CryptoApiInfo c = readCryptoApiInfo(info, true, path);
  uint32_t expectedBits = 128 + 64 * (c.algorithm - kAlgorithmAes128);
  if (c.keyBits != expectedBits) throw damaged(path, "has an AES key size of " + std::to_string(c.keyBits) + " bits");
  Bytes h = iteratedHash("SHA1", c.salt, passwordBytes(password), aesFlag ? kStandardSpinCount : 0);
  auto codec = std::make_unique<StandardAesCodec>(std::move(h), c.keyBits, encodingKey);
  uint8_t zero[4] = {};
  crypto::aesEcb(false, codec->keyFor(ByteView(zero, 4)), c.encryptedVerifier.data(), c.encryptedVerifier.size());
  checkVerifier(c.encryptedVerifier);
  return codec;
}

std::unique_ptr<PageCodec> openRc4CryptoApi(ByteView info, uint32_t encodingKey, const std::string& password,
                                            const std::string& path) {
  CryptoApiInfo c = readCryptoApiInfo(info, false, path);
  uint32_t keyBits = c.keyBits;
  if (keyBits == 0) keyBits = 40;
  if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0)
    throw damaged(path, "has an RC4 key size of " + std::to_string(keyBits) + " bits");
  auto codec = std::make_unique<Rc4CryptoApiCodec>(crypto::hash("SHA1", {c.salt, passwordBytes(password)}), keyBits,
                                                   encodingKey);
  uint8_t zero[4] = {};
  crypto::rc4(codec->keyFor(ByteView(zero, 4)), c.encryptedVerifier.data(), c.encryptedVerifier.size());
  checkVerifier(c.encryptedVerifier);
  return codec;
}

}  // namespace

std::unique_ptr<PageCodec> openOfficeCodec(std::span<const uint8_t> page0, uint32_t encodingKey,
                                           const std::string& password, const std::string& path) {
  if (page0.size() < kOfficeCryptOffset + 2 + 8) throw damaged(path, "is missing");
  uint32_t length = get16(page0.data(), kOfficeCryptOffset);
  if (length < 8 || kOfficeCryptOffset + 2 + length > page0.size()) throw damaged(path, "has a bad length");
  ByteView info = page0.subspan(kOfficeCryptOffset + 2, length);
  if (password.empty()) throw DbError(kErrPassword, "'" + path + "' is encrypted and needs its password");
  uint32_t major = get16(info.data(), 0), minor = get16(info.data(), 2);
  if (major == 4 && minor == 4) {
    std::string_view xml(reinterpret_cast<const char*>(info.data()) + 8, info.size() - 8);
    return openAgile(xml, encodingKey, password, path);
  }
  uint32_t flags = get32(info.data(), 4);
  if ((major == 2 || major == 3 || major == 4) && minor == 2 && (flags & kFlagCryptoApi)) {
    uint32_t algorithm = info.size() >= 24 ? get32(info.data(), 20) : 0;
    bool aes = algorithm >= kAlgorithmAes128 && algorithm <= kAlgorithmAes256;
    if (aes || (flags & kFlagAes)) return openStandardAes(info, (flags & kFlagAes) != 0, encodingKey, password, path);
    return openRc4CryptoApi(info, encodingKey, password, path);
  }
  throw DbError(kErrFormat, "'" + path + "' is encrypted with a scheme this program cannot read (version " +
                                std::to_string(major) + "." + std::to_string(minor) + ")");
}

std::unique_ptr<PageCodec> newAgileCodec(std::vector<uint8_t>& page0, uint32_t encodingKey,
                                         const std::string& password) {
  AgileParams data;
  data.hashAlgorithm = "SHA512";
  data.hashSize = 64;
  data.salt.resize(16);
  crypto::randomBytes(data.salt.data(), data.salt.size());
  PasswordKeyEncryptor pk;
  static_cast<AgileParams&>(pk) = data;
  pk.salt.resize(16);
  crypto::randomBytes(pk.salt.data(), pk.salt.size());
  pk.spinCount = kSpinCount;
  Bytes secret(32), verifier(16);
  crypto::randomBytes(secret.data(), secret.size());
  crypto::randomBytes(verifier.data(), verifier.size());

  Bytes iterated = iteratedHash(pk.hashAlgorithm, pk.salt, passwordBytes(password), pk.spinCount);
  pk.verifierInput = aes(true, derivedKey(pk, iterated, kVerifierInputBlock), pk.salt, verifier);
  pk.verifierValue =
      aes(true, derivedKey(pk, iterated, kVerifierValueBlock), pk.salt, crypto::hash("SHA512", {verifier}));
  pk.keyValue = aes(true, derivedKey(pk, iterated, kKeyValueBlock), pk.salt, secret);

  auto params = [](const AgileParams& p) {
    return "saltSize=\"16\" blockSize=\"16\" keyBits=\"256\" hashSize=\"64\" cipherAlgorithm=\"AES\" "
           "cipherChaining=\"ChainingModeCBC\" hashAlgorithm=\"SHA512\" saltValue=\"" +
           crypto::toBase64(p.salt) + "\"";
  };
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
      "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\" "
      "xmlns:c=\"http://schemas.microsoft.com/office/2006/keyEncryptor/certificate\">"
      "<keyData " +
      params(data) +
      "/>"
      "<keyEncryptors><keyEncryptor uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
      "<p:encryptedKey spinCount=\"" +
      std::to_string(pk.spinCount) + "\" " + params(pk) + " encryptedVerifierHashInput=\"" +
      crypto::toBase64(pk.verifierInput) + "\" encryptedVerifierHashValue=\"" + crypto::toBase64(pk.verifierValue) +
      "\" encryptedKeyValue=\"" + crypto::toBase64(pk.keyValue) + "\"/></keyEncryptor></keyEncryptors></encryption>";
  uint32_t length = static_cast<uint32_t>(8 + xml.size());
  if (kOfficeCryptOffset + 2 + length > page0.size())
    throw DbError(kErrGeneric, "the encryption description does not fit the database header");
  uint8_t* p = page0.data() + kOfficeCryptOffset;
  put16(p, 0, length);
  put16(p, 2, 4);
  put16(p, 4, 4);
  put32(p, 6, 0x40);
  std::memcpy(p + 10, xml.data(), xml.size());
  return std::make_unique<AgilePageCodec>(std::move(secret), std::move(data), encodingKey);
}

}  // namespace qv::jet

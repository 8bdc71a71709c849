#include "db/jet/file/ciphers.h"

#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "db/io/error.h"

namespace qv::jet::crypto {
namespace {

[[noreturn]] void fail(const std::string& what) { throw DbError(kErrGeneric, "OpenSSL: " + what); }

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

// "SHA-512" and "sha512" both name SHA512.
std::string digestName(std::string_view algorithm) {
  std::string name;
  for (char c : algorithm)
    if (c != '-') name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

const EVP_MD* digest(std::string_view algorithm) {
  std::string name = digestName(algorithm);
  if (name != "SHA1" && name != "SHA256" && name != "SHA384" && name != "SHA512" && name != "MD5") return nullptr;
  return EVP_get_digestbyname(name.c_str());
}

// RC4 from the legacy provider, fetched once into a library context of our own. The
// context stays for the life of the process.
const EVP_CIPHER* rc4Cipher() {
  static EVP_CIPHER* cipher = [] {
    OSSL_LIB_CTX* ctx = OSSL_LIB_CTX_new();
    if (!ctx) return static_cast<EVP_CIPHER*>(nullptr);
    OSSL_PROVIDER_load(ctx, "legacy");
    OSSL_PROVIDER_load(ctx, "default");
    return EVP_CIPHER_fetch(ctx, "RC4", nullptr);
  }();
  if (!cipher) fail("RC4 is not available (OpenSSL's legacy provider is missing)");
  return cipher;
}

void run(const EVP_CIPHER* cipher, bool encrypt, ByteView key, const uint8_t* iv, uint8_t* data, size_t n) {
  std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
  if (!ctx || EVP_CipherInit_ex2(ctx.get(), cipher, nullptr, nullptr, encrypt ? 1 : 0, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_key_length(ctx.get(), static_cast<int>(key.size())) != 1 ||
      EVP_CipherInit_ex2(ctx.get(), nullptr, key.data(), iv, encrypt ? 1 : 0, nullptr) != 1 ||
      EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
    fail("cannot set up the cipher");
  size_t done = 0;
  while (done < n) {
    int chunk = static_cast<int>(std::min<size_t>(n - done, 1 << 20));
    int out = 0;
    if (EVP_CipherUpdate(ctx.get(), data + done, &out, data + done, chunk) != 1 || out != chunk)
      fail("the cipher failed");
    done += static_cast<size_t>(chunk);
  }
}

}  // namespace

Bytes hash(std::string_view algorithm, std::initializer_list<ByteView> parts) {
  const EVP_MD* md = digest(algorithm);
  if (!md) fail("unknown hash algorithm " + std::string(algorithm));
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), md, nullptr) != 1) fail("cannot set up the hash");
  for (ByteView p : parts)
    if (!p.empty() && EVP_DigestUpdate(ctx.get(), p.data(), p.size()) != 1) fail("the hash failed");
  Bytes out(static_cast<size_t>(EVP_MD_get_size(md)));
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(ctx.get(), out.data(), &length) != 1) fail("the hash failed");
  out.resize(length);
  return out;
}

size_t hashSize(std::string_view algorithm) {
  const EVP_MD* md = digest(algorithm);
  return md ? static_cast<size_t>(EVP_MD_get_size(md)) : 0;
}

namespace {

const EVP_CIPHER* aesCipher(ByteView key, bool chained) {
  switch (key.size()) {
    case 16: return chained ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24: return chained ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 32: return chained ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default: fail("AES keys have 128, 192 or 256 bits, not " + std::to_string(key.size() * 8));
  }
}

}  // namespace

void aesCbc(bool encrypt, ByteView key, ByteView iv, uint8_t* data, size_t n) {
  if (iv.size() != 16 || n % 16 != 0) fail("AES-CBC needs a 16-byte IV and whole blocks");
  run(aesCipher(key, true), encrypt, key, iv.data(), data, n);
}

void aesEcb(bool encrypt, ByteView key, uint8_t* data, size_t n) {
  if (n % 16 != 0) fail("AES-ECB needs whole blocks");
  run(aesCipher(key, false), encrypt, key, nullptr, data, n);
}

void rc4(ByteView key, uint8_t* data, size_t n) {
  if (key.empty() || key.size() > 256) fail("RC4 keys have 1 to 256 bytes");
  run(rc4Cipher(), true, key, nullptr, data, n);
}

void randomBytes(uint8_t* out, size_t n) {
  if (RAND_bytes(out, static_cast<int>(n)) != 1) fail("no random numbers");
}

std::string toBase64(ByteView data) {
  std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(), static_cast<int>(data.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

std::optional<Bytes> fromBase64(std::string_view text) {
  std::string clean;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) clean += c;
  if (clean.size() % 4 != 0) return std::nullopt;
  Bytes out(clean.size() / 4 * 3 + 1);
  int n =
      EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(clean.data()), static_cast<int>(clean.size()));
  if (n < 0) return std::nullopt;
  size_t length = static_cast<size_t>(n);
  // EVP_DecodeBlock counts the padding as data.
  if (!clean.empty() && clean.back() == '=') --length;
  if (clean.size() >= 2 && clean[clean.size() - 2] == '=') --length;
  out.resize(length);
  return out;
}

}  // namespace qv::jet::crypto

#pragma once
// The ciphers, hashes and random numbers the engine needs for encoded and encrypted
// databases, all taken from OpenSSL's libcrypto. RC4 lives in OpenSSL's "legacy"
// provider, which is loaded into a library context of our own so that the rest of the
// process keeps OpenSSL's defaults. Failures throw qv::DbError.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qv::jet::crypto {

using Bytes = std::vector<uint8_t>;
using ByteView = std::span<const uint8_t>;

// The digest of the parts, one after the other. algorithm is a name as encryption
// headers write it: "SHA1", "SHA256", "SHA384", "SHA512" (also "SHA-512").
Bytes hash(std::string_view algorithm, std::initializer_list<ByteView> parts);
// The digest size in bytes; 0 for an algorithm OpenSSL does not know.
size_t hashSize(std::string_view algorithm);

// AES in CBC mode without padding, in place; n is a multiple of 16, the key 16, 24 or
// 32 bytes, the initialisation vector 16 bytes.
void aesCbc(bool encrypt, ByteView key, ByteView iv, uint8_t* data, size_t n);
// AES in ECB mode (each 16-byte block on its own) without padding, in place.
void aesEcb(bool encrypt, ByteView key, uint8_t* data, size_t n);

// RC4 (encrypting and decrypting are the same), in place, with a key of 1 to 256 bytes.
void rc4(ByteView key, uint8_t* data, size_t n);

// Bytes from OpenSSL's cryptographically secure generator.
void randomBytes(uint8_t* out, size_t n);

std::string toBase64(ByteView data);
// nullopt when text is not valid base64.
std::optional<Bytes> fromBase64(std::string_view text);

}  // namespace qv::jet::crypto

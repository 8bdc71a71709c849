#pragma once
// Password encryption of .accdb databases (ACE 12 and later). Such a file keeps page 0
// readable (apart from the usual scrambling of its header) and encrypts every other
// page as a whole. Page 0 carries a non-zero page-encoding key at 0x3E and, at 0x299,
// a 2-byte length followed by the encryption description of the Office documents'
// encryption scheme:
//
//   version (2 + 2 bytes), then by version:
//   4.4  "Agile": 4 reserved bytes (0x40), then an XML text (its root declares the
//        namespaces of the password and the certificate key encryptors, as Access
//        writes it, though only the password one is used). Its <keyData> names the
//        cipher (AES, CBC), key size, hash and a salt; its password <encryptedKey>
//        adds a spin count, a second salt and three AES-CBC encrypted values: the
//        database's secret key, a random verifier and the verifier's hash. Each of them
//        is encrypted under a key derived from the password: H0 = hash(salt, password
//        as UTF-16LE), then spinCount times Hn = hash(n as 4 LE bytes, Hn-1), then
//        hash(Hn, block) with a fixed 8-byte block per value, cut (or padded with 0x36)
//        to the key size; the IV is the salt. A page is AES-CBC encrypted with the
//        secret key and the IV hash(keyData salt, page key) cut to the block size.
//   2.2/3.2/4.2 with the CryptoAPI flag (0x04) and no AES flag (0x20): "RC4 CryptoAPI".
//        4 bytes flags, 4 bytes header length, the header (flags, extra size, cipher id
//        0x6801 RC4, hash id 0x8004 SHA-1, key bits, provider type, 2 reserved, the
//        provider's name in UTF-16), then the verifier: salt size (16), salt, the
//        encrypted verifier (16), verifier hash size (20) and the encrypted hash.
//        H0 = SHA-1(salt, password UTF-16LE); a page's RC4 key is SHA-1(H0, page key)
//        cut to the key bits (a 40-bit key is zero-padded to 16 bytes). The verifier
//        and its hash decrypt with the key of page key 0, as one RC4 stream.
//   3.2/4.2 with the CryptoAPI flag and an AES cipher id (0x660E/0x660F/0x6610 for 128,
//        192, 256 bits): "Standard" AES. The same header and verifier layout (the
//        encrypted verifier hash takes 32 bytes). H0 = SHA-1(salt, password UTF-16LE),
//        then 50,000 times Hn = SHA-1(n as 4 LE bytes, Hn-1) -- none at all when the
//        AES flag is missing, as Access writes it for older databases with compatibility
//        off. A block's key: F = SHA-1(Hn, block); SHA-1 of 64 bytes 0x36 XOR F, then
//        SHA-1 of 64 bytes 0x5C XOR F, the two together cut to the key size. A page is
//        AES-ECB encrypted under the key of its page key; the verifier and its hash
//        decrypt under the key of block 0.
//
// A page key is the page-encoding key XOR the page number (4 little-endian bytes).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "db/jet/file/pager.h"

namespace qv::jet {

// Where page 0 keeps the length and the description.
constexpr uint32_t kOfficeCryptOffset = 0x299;

// The codec of an encrypted .accdb after checking the password against page 0 (as
// stored). Throws DbError naming the file: kErrPassword "Not a valid password." for a
// wrong password, kErrPassword "... is encrypted and needs its password" when none is
// given, kErrFormat for a scheme this engine does not read.
std::unique_ptr<PageCodec> openOfficeCodec(std::span<const uint8_t> page0, uint32_t encodingKey,
                                           const std::string& password, const std::string& path);

// Writes the Agile description of a new secret key for password into page 0 (as
// stored) and returns the codec that encrypts the database's pages with it.
std::unique_ptr<PageCodec> newAgileCodec(std::vector<uint8_t>& page0, uint32_t encodingKey,
                                         const std::string& password);

}  // namespace qv::jet

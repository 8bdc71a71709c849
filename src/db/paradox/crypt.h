#pragma once
// Paradox table encryption ("password protection").
//
// A protected table stores a 32-bit key in its header (see table_header.h). The key is
// derived from the password, but scrambling and unscrambling need only the key itself,
// so a table opens without its password. Data is scrambled in chunks of 256 bytes. For
// chunk bytes x = 0..255, with y = (shuffle[x] - d) mod 256, the plain byte x is the
// stored byte y masked with maskA[x + a] ^ maskB[y + b] ^ shuffle[y + c] (all indexes
// mod 256), where a and b are the key's two low bytes and
//   - in a .db data block: c is the chunk's number within the block and d the low byte
//     of the block's number (counted from 1 after the header);
//   - in a .mb file, where every 256 bytes from the file's start are one chunk:
//     c = a + 1 and d = b + 1.
// The three 256-byte tables are constants of the format.

#include <cstddef>
#include <cstdint>

namespace qv::paradox {

// Unscrambles (or scrambles) blockSize bytes of data block number block in place.
void decryptDataBlock(uint8_t* data, size_t blockSize, uint32_t key, uint32_t block);
void encryptDataBlock(uint8_t* data, size_t blockSize, uint32_t key, uint32_t block);

// Unscrambles (or scrambles) whole 256-byte chunks of a .mb file in place; size must be
// a multiple of 256 and data must start at a multiple of 256 in the file.
void decryptBlobChunks(uint8_t* data, size_t size, uint32_t key);
void encryptBlobChunks(uint8_t* data, size_t size, uint32_t key);

}  // namespace qv::paradox

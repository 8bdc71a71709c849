#pragma once
// Security identifiers (SIDs) as a Jet 4 / ACE file stores them, and the per-file mask
// that hides them.
//
// A SID names an account of the workgroup: it is stored in MSysObjects.Owner (who owns
// an object) and MSysACEs.SID (whom a permission row is for). No SID is stored as it is:
// each is XORed with the start of an RC4 keystream that belongs to the file, so the
// same account looks different in every database. Masking and unmasking are therefore
// the same operation.
//
// The keystream's 4-byte RC4 key comes from the database definition page (page 0,
// format.h) after its fixed-key descrambling:
//   1. Take the 80 bytes from 0x42 (the password area and what follows it up to 0x92).
//      XOR the first 40 of them with the 4 little-endian bytes of the whole-day part
//      (rounded down) of the creation date at 0x72, repeated -- the same mask that
//      hides the password.
//   2. Start from the first 4 bytes of the creation date's 8-byte double at 0x72, read
//      as a little-endian 32-bit number.
//   3. For i from 0 to 39, XOR into it byte 2i of those 80 bytes shifted left by
//      (i mod 24) bits.
//   4. The result, as 4 little-endian bytes, is the RC4 key; byte k of a stored SID is
//      XORed with byte k of its keystream.
// The key thus depends on the creation date, the password (or, in an encrypted .accdb,
// the byte repeated in its place), the sort order and the other bytes of that region:
// whenever page 0 changes there, every stored SID must be masked again.
//
// Unmasked, the SIDs of the databases Access and the engine make name a handful of
// accounts. Four are two bytes long and the same in every workgroup:
//   03 01  the Admin user: who works in a database when no workgroup login is used, so
//          the owner of what Access creates;
//   02 03  the engine: owner of the system tables and containers it makes;
//   02 01  the Users group, to which every user belongs;
//   02 04  the creator: a stand-in in a container's inheritable rights for whoever
//          creates an object in it (that account gets those rights on the new object).
// The others belong to one workgroup (its Admins group, and any user or group made in
// it). They are 102 bytes long: the byte 01, then twelve 8-byte blocks and five more
// bytes; a workgroup SID encodes empty fields as the block DF 56 1A 17 23 6A 4B 11, so
// its second block and (shortened to five bytes) its tail are always that block.
//
// An Office-encrypted .accdb is an exception to "one key per file": its password area is
// filled in when the database is encrypted, which changes the key. Access then masks
// MSysACEs again, but leaves many MSysObjects.Owner values under an earlier key: often
// the one the file had while that area was still zero (kBeforeEncryption below), in
// some files one that page 0 no longer tells.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qv::jet {

class SidMask {
 public:
  enum Area { kAsStored, kBeforeEncryption };
  // The mask of a database whose page 0 is given as stored in the file (still
  // scrambled with the fixed header key); with kBeforeEncryption, the mask it had while
  // its password area was still zero. page0 must hold at least the first 0x98 bytes; a
  // shorter one is a DbError.
  static SidMask fromStoredPage0(std::span<const uint8_t> page0, Area area = kAsStored);
  // The same from page 0 after its fixed-key descrambling.
  static SidMask fromDecodedPage0(std::span<const uint8_t> page0, Area area = kAsStored);
  explicit SidMask(uint32_t key) : key_(key) {}

  uint32_t key() const { return key_; }
  // A stored SID from the account's SID, and back (the same operation).
  std::string mask(std::string_view sid) const { return apply(sid); }
  std::string unmask(std::string_view stored) const { return apply(stored); }

 private:
  std::string apply(std::string_view bytes) const;
  uint32_t key_;
};

// The accounts every workgroup has, unmasked.
namespace sid {
extern const std::string kAdminUser;
extern const std::string kEngine;
extern const std::string kUsersGroup;
extern const std::string kCreator;
}  // namespace sid

enum class Account {
  kAdminUser,
  kEngine,
  kUsersGroup,
  kCreator,
  kWorkgroupAccount,  // a 102-byte SID of one workgroup (its Admins group, or a user or group made in it)
};

// The account an unmasked SID names, or nullopt when it names none.
std::optional<Account> accountOf(std::string_view sid);
const char* accountName(Account account);

}  // namespace qv::jet

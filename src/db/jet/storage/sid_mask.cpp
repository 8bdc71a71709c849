#include "db/jet/storage/sid_mask.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/file/ciphers.h"
#include "db/jet/file/format.h"

namespace qv::jet {
namespace {

constexpr size_t kScrambledLength = 128;
constexpr size_t kRegionOffset = 0x42;
constexpr size_t kRegionLength = 80;
constexpr size_t kPasswordLength = 40;

}  // namespace

SidMask SidMask::fromStoredPage0(std::span<const uint8_t> page0, Area area) {
  if (page0.size() < kHeaderScrambleStart + kScrambledLength)
    throw DbError(kErrFormat, "the database definition page is too short to give the security key");
  std::vector<uint8_t> page(page0.begin(), page0.begin() + kHeaderScrambleStart + kScrambledLength);
  crypto::rc4(crypto::ByteView(kHeaderKey, sizeof kHeaderKey), page.data() + kHeaderScrambleStart, kScrambledLength);
  return fromDecodedPage0(page, area);
}

SidMask SidMask::fromDecodedPage0(std::span<const uint8_t> page0, Area area) {
  if (page0.size() < kRegionOffset + kRegionLength)
    throw DbError(kErrFormat, "the database definition page is too short to give the security key");
  const double created = getDouble(page0.data(), kCreationDateOffset);
  // The whole-day part as Jet keeps it: a 32-bit integer (a date outside its range
  // keeps only what the conversion leaves).
  const double day = std::floor(created);
  const uint32_t dayMask = std::isfinite(day) && day >= -2147483648.0 && day < 2147483648.0
                               ? static_cast<uint32_t>(static_cast<int32_t>(day))
                               : 0;
  uint8_t region[kRegionLength];
  for (size_t i = 0; i < kRegionLength; ++i) {
    region[i] = page0[kRegionOffset + i];
    if (i < kPasswordLength)
      region[i] = area == kBeforeEncryption ? 0 : region[i] ^ static_cast<uint8_t>(dayMask >> (8 * (i % 4)));
  }
  uint32_t key = get32(page0.data(), kCreationDateOffset);
  for (uint32_t i = 0; i < kRegionLength / 2; ++i) key ^= static_cast<uint32_t>(region[2 * i]) << (i % 24);
  return SidMask(key);
}

std::string SidMask::apply(std::string_view bytes) const {
  std::string out(bytes);
  if (out.empty()) return out;
  uint8_t key[4];
  put32(key, 0, key_);
  crypto::rc4(crypto::ByteView(key, sizeof key), reinterpret_cast<uint8_t*>(out.data()), out.size());
  return out;
}

namespace sid {
const std::string kAdminUser("\x03\x01", 2);
const std::string kEngine("\x02\x03", 2);
const std::string kUsersGroup("\x02\x01", 2);
const std::string kCreator("\x02\x04", 2);
}  // namespace sid

namespace {

constexpr size_t kWorkgroupSidLength = 102;
constexpr size_t kBlock = 8;
// What a workgroup SID holds where a field is empty.
constexpr uint8_t kEmptyBlock[kBlock] = {0xDF, 0x56, 0x1A, 0x17, 0x23, 0x6A, 0x4B, 0x11};

bool isWorkgroupSid(std::string_view s) {
  if (s.size() != kWorkgroupSidLength || static_cast<uint8_t>(s[0]) != 0x01) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(s.data());
  const size_t tail = kWorkgroupSidLength - 5;
  return std::memcmp(p + 1 + kBlock, kEmptyBlock, kBlock) == 0 && std::memcmp(p + tail, kEmptyBlock, 5) == 0;
}

}  // namespace

std::optional<Account> accountOf(std::string_view s) {
  if (s == sid::kAdminUser) return Account::kAdminUser;
  if (s == sid::kEngine) return Account::kEngine;
  if (s == sid::kUsersGroup) return Account::kUsersGroup;
  if (s == sid::kCreator) return Account::kCreator;
  if (isWorkgroupSid(s)) return Account::kWorkgroupAccount;
  return std::nullopt;
}

const char* accountName(Account a) {
  switch (a) {
    case Account::kAdminUser: return "the Admin user";
    case Account::kEngine: return "the engine";
    case Account::kUsersGroup: return "the Users group";
    case Account::kCreator: return "the creator";
    case Account::kWorkgroupAccount: return "a workgroup account";
  }
  return "?";
}

}  // namespace qv::jet

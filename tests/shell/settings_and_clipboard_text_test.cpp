#include <gtest/gtest.h>

#include <QFile>
#include <filesystem>

#include "shell/checked_rows_text.h"
#include "shell/settings_store.h"
#include "support/sandbox_home.h"

namespace qv::shell {
namespace {

std::filesystem::perms filePerms(const QString& path) {
  return std::filesystem::status(path.toStdString()).permissions() & std::filesystem::perms::mask;
}
constexpr auto kOwnerOnly = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

TEST(SettingsStore, StoresTextsInAPrivateFileOfTheSandbox) {
  test::clearSettings();
  EXPECT_TRUE(settingsFilePath().startsWith(test::SandboxHome::instance().config()));
  EXPECT_EQ(GetSetting(QStringLiteral("AccessPassword"), QStringLiteral("none")), QStringLiteral("none"));
  SaveSetting(QStringLiteral("AccessPassword"), QStringLiteral("se;cr=et"));
  EXPECT_EQ(GetSetting(QStringLiteral("AccessPassword")), QStringLiteral("se;cr=et"));
  SaveSetting(QStringLiteral("AccessPassword"), QString());
  EXPECT_EQ(GetSetting(QStringLiteral("AccessPassword"), QStringLiteral("none")), QString());
  EXPECT_EQ(filePerms(settingsFilePath()), kOwnerOnly);
  // A file that was readable by others is narrowed on the next write.
  QFile::setPermissions(settingsFilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther);
  SaveSetting(QStringLiteral("Check1"), QStringLiteral("1"));
  EXPECT_EQ(filePerms(settingsFilePath()), kOwnerOnly);
  QFile file(settingsFilePath());
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("[Quorvane]"));
}

TEST(CheckedRowsText, PadsToTheWidestCellOfAllRows) {
  std::vector<ListRow> rows{
      {true, {"abc", "x", "1"}},
      {false, {"unchecked-longest", "yy", "22"}},
      {true, {"abcdefg", "", ""}},
      {true, {"ab"}},
  };
  // Only blanks are trimmed from a row's end: the tabs of its empty cells stay.
  const QString expected = QStringLiteral("abc              \tx \t1\r\n") +
                           QStringLiteral("abcdefg          \t  \t\r\n") +
                           QStringLiteral("ab               \t  \t\r\n");
  EXPECT_EQ(CheckedRowsText(rows, 3), expected);
  EXPECT_EQ(CheckedRowsText({}, 3), QString());
  EXPECT_EQ(CheckedRowsText({{false, {"a"}}}, 1), QString());
  // Lengths 3 and 7 in the first column: the shorter gets four blanks before its tab.
  EXPECT_EQ(CheckedRowsText({{true, {"abc", "z"}}, {true, {"abcdefg", "z"}}}, 2),
            QStringLiteral("abc    \tz\r\nabcdefg\tz\r\n"));
}

}  // namespace
}  // namespace qv::shell

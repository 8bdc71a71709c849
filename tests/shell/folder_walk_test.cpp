#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <filesystem>

#include "shell/add_folder.h"
#include "shell/messages.h"
#include "support/temp_dir.h"
#include "support/unprivileged.h"

namespace qv::shell {
namespace {
namespace fs = std::filesystem;

class FolderWalk : public ::testing::Test {
 protected:
  QString root() const { return QString::fromStdString(dir_.path()) + u'/'; }
  void mkdir(const QString& relative) { ASSERT_TRUE(QDir().mkpath(root() + relative)); }
  void touch(const QString& relative) {
    QFile f(root() + relative);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  // The walk's result with the root cut off each entry.
  QStringList walk(bool recurse = true) {
    QStringList folders{root()};
    GetSubDirectories2016(folders, recurse);
    QStringList relative;
    for (const QString& f : folders) relative.push_back(f.mid(root().size()));
    return relative;
  }

  test::TempDir dir_;
  RecordingMessages messages_;
};

TEST_F(FolderWalk, BreadthFirstLevelByLevelInNameOrder) {
  for (const char* d : {"b/b2", "a/a2/a3", "a/a1", "C"}) mkdir(QString::fromLatin1(d));
  touch(QStringLiteral("a/file.db"));  // files are not folders
  EXPECT_EQ(walk(), (QStringList{"", "a/", "b/", "C/", "a/a1/", "a/a2/", "b/b2/", "a/a2/a3/"}));
  EXPECT_EQ(walk(false), (QStringList{"", "a/", "b/", "C/"}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(FolderWalk, UnsafeNamesAreSkippedWithEverythingBelow) {
  const QStringList unsafe{QStringLiteral("dash\u2013name"), QStringLiteral("quote\u201cd"),
                           QStringLiteral("latvian\u0101"),  QStringLiteral("ctl\x01x"),
                           QStringLiteral("what?"),          QStringLiteral("del\x7f")};
  for (const QString& name : unsafe) mkdir(name + QStringLiteral("/inner"));
  mkdir(QStringLiteral("caf\u00e9/inner"));  // Western letters are fine
  mkdir(QStringLiteral(".hidden"));          // hidden alone is not excluded
  EXPECT_EQ(walk(), (QStringList{"", ".hidden/", "caf\u00e9/", "caf\u00e9/inner/"}));
}

TEST_F(FolderWalk, LinksToFoldersAreWalkedAndEachRealFolderOnce) {
  mkdir(QStringLiteral("a/b"));
  mkdir(QStringLiteral("z"));
  fs::create_directories(dir_.path() + "-outside/inner");
  fs::create_directory_symlink(dir_.path() + "-outside", dir_.path() + "/linked");
  fs::create_directory_symlink(dir_.path(), dir_.path() + "/a/b/loop");         // back up: a loop
  fs::create_directory_symlink(dir_.path() + "/a", dir_.path() + "/shortcut");  // a second way into a/
  fs::create_directory_symlink(dir_.path() + "/z", dir_.path() + "/y");         // comes before z/ itself
  fs::create_directory_symlink(dir_.path() + "/gone", dir_.path() + "/dangling");
  EXPECT_EQ(walk(), (QStringList{"", "a/", "linked/", "y/", "a/b/", "linked/inner/"}));
  EXPECT_TRUE(messages_.shown.empty());
  fs::remove_all(dir_.path() + "-outside");
}

TEST_F(FolderWalk, LongFoldersAreKeptButNotLookedInto) {
  // Build a chain of folders until the path reaches 260 characters.
  QString relative;
  while ((root() + relative).size() < 260) relative += QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789/");
  mkdir(relative + QStringLiteral("below"));
  const QStringList result = walk();
  EXPECT_TRUE(result.contains(relative));
  EXPECT_FALSE(result.contains(relative + QStringLiteral("below/")));
}

TEST_F(FolderWalk, UnreadableFoldersLeaveTheList) {
  mkdir(QStringLiteral("open/inner"));
  mkdir(QStringLiteral("shut/inner"));
  mkdir(QStringLiteral("zlast"));
  fs::permissions(dir_.path(), fs::perms(0755));
  fs::permissions(dir_.path() + "/open", fs::perms(0755));
  fs::permissions(dir_.path() + "/zlast", fs::perms(0755));
  fs::permissions(dir_.path() + "/shut", fs::perms(0311));  // can enter, cannot list
  const bool ok = test::runUnprivileged([&] { return walk() == QStringList{"", "open/", "zlast/", "open/inner/"}; });
  fs::permissions(dir_.path() + "/shut", fs::perms(0755));
  EXPECT_TRUE(ok);
}

TEST_F(FolderWalk, MissingStartingFolderStaysAndGivesNothing) {
  QStringList folders{root() + QStringLiteral("none/")};
  GetSubDirectories2016(folders, true);
  EXPECT_EQ(folders, QStringList{root() + QStringLiteral("none/")});
}

TEST(UnsafeChars, WesternCodePage) {
  EXPECT_FALSE(HasUnsafeChars(QString()));
  EXPECT_FALSE(HasUnsafeChars(QStringLiteral("Orders 2021 (copy)~")));
  EXPECT_FALSE(HasUnsafeChars(QStringLiteral("\u00a0\u00e9\u00ff")));
  for (char16_t c : {u'\x1f', u'\x7f', u'\x80', u'\x9f', u'?', u'\u20ac', u'\u2013', u'\u0100', u'\u4e2d'}) {
    EXPECT_TRUE(HasUnsafeChars(QStringLiteral("a") + QChar(c))) << int(c);
  }
}

TEST_F(FolderWalk, ListFilesMatchesWithoutCaseAndSkipsFolders) {
  touch(QStringLiteral("b.db"));
  touch(QStringLiteral("A.DB"));
  touch(QStringLiteral(".hidden.db"));
  touch(QStringLiteral("c.dbx"));
  touch(QStringLiteral("d.mb"));
  mkdir(QStringLiteral("folder.db"));
  EXPECT_EQ(ListFiles(root(), QStringLiteral("*.db")), (QStringList{".hidden.db", "A.DB", "b.db"}));
  EXPECT_EQ(ListFiles(root().chopped(1), QStringLiteral("*.db")).size(), 3);  // with or without the separator
  EXPECT_TRUE(ListFiles(root() + QStringLiteral("missing"), QStringLiteral("*.db")).isEmpty());
  EXPECT_TRUE(ListFiles(root(), QStringLiteral("*.xyz")).isEmpty());
  EXPECT_TRUE(IsOpenableFile(root() + QStringLiteral("b.db")));
  EXPECT_FALSE(IsOpenableFile(root() + QStringLiteral("folder.db")));
  EXPECT_FALSE(IsOpenableFile(root() + QStringLiteral("none.db")));
  EXPECT_TRUE(IsFolder(root() + QStringLiteral("folder.db")));
  EXPECT_FALSE(IsFolder(root() + QStringLiteral("b.db")));
  EXPECT_FALSE(IsFolder(QString()));
}

TEST_F(FolderWalk, ListFilesOfAnUnreadableFolderFailsNamingIt) {
  mkdir(QStringLiteral("shut"));
  touch(QStringLiteral("shut/a.db"));
  fs::permissions(dir_.path(), fs::perms(0755));
  fs::permissions(dir_.path() + "/shut", fs::perms(0311));
  const QString shut = root() + QStringLiteral("shut");
  const bool ok = test::runUnprivileged([&] {
    try {
      ListFiles(shut, QStringLiteral("*.db"));
      return false;
    } catch (const std::exception& e) {
      return QString::fromUtf8(e.what()).contains(shut);
    }
  });
  fs::permissions(dir_.path() + "/shut", fs::perms(0755));
  EXPECT_TRUE(ok);
}

}  // namespace
}  // namespace qv::shell

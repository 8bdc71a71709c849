// "Load Sample/Example Database": the program's own sample when the user may write it,
// otherwise a copy of it in the user's data folder, made once and then kept.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <filesystem>

#include "engine/sample_database.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::engine {
namespace {

namespace fs = std::filesystem;

void writeFile(const std::string& path, const QByteArray& bytes) {
  QFile f(QString::fromStdString(path));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(SampleDatabase, TheProgramsOwnSampleWhenItCanBeWrittenOrIsMissing) {
  test::TempDir dir;
  const QString program = QString::fromStdString(dir.file("program"));
  const QString user = QString::fromStdString(dir.file("user"));
  // Missing: the path as it is; the conversion says what is missing.
  EXPECT_EQ(SampleDatabasePath(program, user), program + QStringLiteral("/Samples/sample.mdb"));
  fs::create_directories(dir.file("program/Samples"));
  writeFile(dir.file("program/Samples/sample.mdb"), "sample");
  EXPECT_EQ(SampleDatabasePath(program, user), program + QStringLiteral("/Samples/sample.mdb"));
  EXPECT_FALSE(fs::exists(dir.file("user")));
}

// Run by the test below as an ordinary user, in folders it prepared.
TEST(SampleDatabase, AsAnOrdinaryUser) {
  const char* base = std::getenv("QV_SAMPLE_TEST_DIR");
  if (!base) GTEST_SKIP() << "run by InstalledReadOnlyGivesTheUserACopyOnce";
  const QString program = QString::fromLocal8Bit(base) + QStringLiteral("/program");
  const QString user = QString::fromLocal8Bit(base) + QStringLiteral("/user");
  const QString copy = user + QStringLiteral("/Samples/sample.mdb");
  EXPECT_EQ(SampleDatabasePath(program, user), copy);
  EXPECT_EQ(readFile(copy), QByteArray("sample"));
  EXPECT_TRUE(QFileInfo(copy).isWritable());
  EXPECT_FALSE(QFile::exists(copy + QStringLiteral(".part")));
  // What the user converted into the copy stays: it is not copied again.
  {
    QFile f(copy);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write(" and what was converted");
  }
  EXPECT_EQ(SampleDatabasePath(program, user), copy);
  EXPECT_EQ(readFile(copy), QByteArray("sample and what was converted"));
  // No data folder to copy into: the program's own path, and the conversion names it.
  EXPECT_EQ(SampleDatabasePath(program, QStringLiteral("/proc/no-such-folder")),
            program + QStringLiteral("/Samples/sample.mdb"));
}

TEST(SampleDatabase, InstalledReadOnlyGivesTheUserACopyOnce) {
  if (std::getenv("QV_SAMPLE_TEST_DIR")) GTEST_SKIP();
  const bool root = ::geteuid() == 0;
  if (root && test::runCommand("command -v setpriv >/dev/null", nullptr) != 0) {
    GTEST_SKIP() << "running as root without setpriv: no way to run as a user who may not write the program's folder";
  }
  test::TempDir dir;
  fs::create_directories(dir.file("program/Samples"));
  writeFile(dir.file("program/Samples/sample.mdb"), "sample");
  fs::create_directories(dir.file("user"));
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(dir.file("program/Samples/sample.mdb"),
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::permissions(dir.file("program/Samples"), readOnly);
  fs::permissions(dir.file("program"), readOnly);
  fs::permissions(dir.path(), readOnly);
  fs::permissions(dir.file("user"), fs::perms::all);  // the ordinary user's own folder
  std::string out;
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  const int status = test::runCommand(std::string(root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
                                          "env QV_SAMPLE_TEST_DIR='" + dir.path() + "' '" + self +
                                          "' --gtest_filter=SampleDatabase.AsAnOrdinaryUser 2>&1",
                                      &out);
  fs::permissions(dir.path(), fs::perms::owner_all);
  fs::permissions(dir.file("program"), fs::perms::owner_all);
  fs::permissions(dir.file("program/Samples"), fs::perms::owner_all);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
}

}  // namespace
}  // namespace qv::engine

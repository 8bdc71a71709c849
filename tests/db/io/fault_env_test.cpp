#include <gtest/gtest.h>

#include <string>

#include "support/fault_env.h"
#include "support/temp_dir.h"

namespace qv::io {
namespace {

std::string readAll(Env& env, const std::string& path) {
  auto f = env.open(path, OpenMode::kRead);
  std::string s(f->size(), '\0');
  f->readExact(0, s.data(), s.size());
  return s;
}

TEST(FaultEnv, FailsExactlyTheArmedWriteInEachWay) {
  test::TempDir dir;
  FaultEnv env(posixEnv());
  const std::string path = dir.file("a.bin");
  struct Case {
    Fault fault;
    int number;
    std::string expected;
  };
  for (const Case& c : {Case{Fault::kDiskFull, kErrDiskFull, "1111"}, Case{Fault::kIoError, kErrIo, "1111"},
                        Case{Fault::kShortWrite, kErrDiskFull, "111122"}}) {
    env.arm(2, c.fault);
    auto f = env.open(path, OpenMode::kCreateTruncate);
    f->writeAt(0, "1111", 4);
    try {
      f->writeAt(4, "2222", 4);
      FAIL() << "the second write should fail";
    } catch (const DbError& e) {
      EXPECT_EQ(e.number(), c.number);
      EXPECT_NE(std::string(e.what()).find("a.bin"), std::string::npos) << "the message names the file";
    }
    f.reset();
    EXPECT_EQ(readAll(env, path), c.expected);
    EXPECT_TRUE(env.fired());
  }
}

TEST(FaultEnv, ShortWriteWithAUnitStopsAtAUnitBoundaryOfTheFile) {
  test::TempDir dir;
  FaultEnv env(posixEnv());
  env.setWriteUnit(4);
  auto f = env.open(dir.file("u.bin"), OpenMode::kCreateTruncate);
  // Bytes 2..17: half reaches byte 10, cut back to the boundary at 8.
  env.arm(1, Fault::kShortWrite);
  EXPECT_THROW(f->writeAt(2, "abcdefghijklmnop", 16), DbError);
  EXPECT_EQ(readAll(env, dir.file("u.bin")), std::string("\0\0abcdef", 8));
  // A write inside one unit goes in whole or not at all.
  env.arm(1, Fault::kShortWrite);
  EXPECT_THROW(f->writeAt(9, "xy", 2), DbError);
  EXPECT_EQ(readAll(env, dir.file("u.bin")).size(), 8u);
}

TEST(FaultEnv, CrashDropsTheArmedWriteAndEverythingAfter) {
  test::TempDir dir;
  FaultEnv env(posixEnv());
  env.arm(3, Fault::kCrash);
  auto f = env.open(dir.file("b.bin"), OpenMode::kCreateTruncate);
  for (int i = 0; i < 5; ++i) f->writeAt(static_cast<uint64_t>(i), "x", 1);
  env.rename(dir.file("b.bin"), dir.file("c.bin"));
  EXPECT_EQ(readAll(env, dir.file("b.bin")), "xx");
  EXPECT_FALSE(env.exists(dir.file("c.bin")));
}

TEST(PosixEnv, ReportsMissingFilesAndShortReadsByName) {
  test::TempDir dir;
  try {
    posixEnv().open(dir.file("missing.db"), OpenMode::kRead);
    FAIL();
  } catch (const DbError& e) {
    EXPECT_EQ(e.number(), kErrNotFound);
    EXPECT_NE(std::string(e.what()).find("missing.db"), std::string::npos);
  }
  auto f = posixEnv().open(dir.file("short.db"), OpenMode::kCreateExclusive);
  f->writeAt(0, "abc", 3);
  char buf[8];
  EXPECT_EQ(f->readAt(1, buf, 8), 2u);
  EXPECT_THROW(f->readExact(0, buf, 4), DbError);
  EXPECT_THROW(posixEnv().open(dir.file("short.db"), OpenMode::kCreateExclusive), DbError);
}

TEST(PosixEnv, RenameNoReplaceMovesOnlyOntoAFreeName) {
  test::TempDir dir;
  Env& env = posixEnv();
  auto write = [&](const std::string& name, const char* text) {
    env.open(dir.file(name), OpenMode::kCreateTruncate)->writeAt(0, text, 4);
  };
  write("new", "mine");
  env.renameNoReplace(dir.file("new"), dir.file("target"));
  EXPECT_FALSE(env.exists(dir.file("new")));
  EXPECT_EQ(readAll(env, dir.file("target")), "mine");
  // Taken: both files stay as they are.
  write("new", "next");
  try {
    env.renameNoReplace(dir.file("new"), dir.file("target"));
    FAIL() << "a file may not be replaced";
  } catch (const DbError& e) {
    EXPECT_NE(std::string(e.what()).find("target' already exists"), std::string::npos) << e.what();
  }
  EXPECT_EQ(readAll(env, dir.file("target")), "mine");
  EXPECT_EQ(readAll(env, dir.file("new")), "next");
  // Under the fault Env the move counts as a write.
  FaultEnv faults(env);
  faults.arm(1, Fault::kIoError);
  EXPECT_THROW(faults.renameNoReplace(dir.file("new"), dir.file("other")), DbError);
  EXPECT_FALSE(env.exists(dir.file("other")));
  faults.arm(1, Fault::kCrash);
  faults.renameNoReplace(dir.file("new"), dir.file("other"));
  EXPECT_FALSE(env.exists(dir.file("other")));
  faults.disarm();
  faults.renameNoReplace(dir.file("new"), dir.file("other"));
  EXPECT_EQ(readAll(env, dir.file("other")), "next");
}

}  // namespace
}  // namespace qv::io

// quorvane-cli create with a password: an encrypted .accdb that our own tables command
// and mdb-reader open with the password only, and an .mdb with a header password.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::cli {
namespace {

using test::shellQuote;

std::string cli() { return std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli"; }

int run(const std::string& command, std::string* out) {
  out->clear();
  return test::runCommand(command + " 2>&1", out);
}

TEST(CreateCli, PasswordEncryptsAnAccdb) {
  test::TempDir dir;
  std::string db = dir.file("geheim.accdb");
  std::string out;
  ASSERT_EQ(run(cli() + " create " + shellQuote(db) + " --password 'sesam öffne'", &out), 0) << out;
  EXPECT_FALSE(std::filesystem::exists(dir.file("geheim.laccdb"))) << "the lock file outlives the command";

  EXPECT_EQ(run(cli() + " tables " + shellQuote(db) + " --password 'sesam öffne' --all", &out), 0) << out;
  EXPECT_NE(out.find("MSysObjects"), std::string::npos) << out;
  EXPECT_NE(run(cli() + " tables " + shellQuote(db), &out), 0);
  EXPECT_NE(out.find("is encrypted and needs its password"), std::string::npos) << out;
  EXPECT_NE(run(cli() + " tables " + shellQuote(db) + " --password sesam", &out), 0);
  EXPECT_NE(out.find("Not a valid password."), std::string::npos) << out;

  if (test::nodeToolsDir().empty()) {
    if (test::underCi()) FAIL() << "node with mdb-reader is not installed";
    return;
  }
  std::string dump = "node " + shellQuote(test::nodeToolsDir() + "/mdb_dump.mjs") + " " + shellQuote(db);
  EXPECT_EQ(run(dump + " --password 'sesam öffne'", &out), 0) << out;
  EXPECT_EQ(out, "{\"tables\":[],\"data\":{}}");
  EXPECT_NE(run(dump, &out), 0) << "mdb-reader opened it without the password";
  EXPECT_NE(run(dump + " --password sesam", &out), 0) << "mdb-reader opened it with a wrong password";
}

}  // namespace
}  // namespace qv::cli

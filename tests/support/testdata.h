#pragma once
// Access to the corpus of real Paradox tables and Access databases (../shared/testdata),
// read in place. When it is absent a test skips, except under CI, where it fails.

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {

// The corpus folder ("" when absent).
std::string testdataDir();
// The project's source folder.
std::string sourceDir();
// Every file below dir (relative to the corpus) whose name ends with one of the
// extensions (compared without regard to case), sorted.
std::vector<std::string> corpusFiles(const std::string& dir, const std::vector<std::string>& extensions);
// True when running under CI (the CI variable is set).
bool underCi();
// The folder holding the node tools (tests/js) with node_modules installed, or "".
std::string nodeToolsDir();
// Runs a shell command, returns its exit status and puts its standard output in out.
int runCommand(const std::string& command, std::string* out);
// s as one word for the shell: between apostrophes, its own apostrophes escaped.
std::string shellQuote(const std::string& s);

}  // namespace qv::test

// Use at the top of a test that needs the corpus.
#define QV_REQUIRE_TESTDATA()                                                               \
  do {                                                                                      \
    if (::qv::test::testdataDir().empty()) {                                                \
      if (::qv::test::underCi()) FAIL() << "the test corpus ../shared/testdata is missing"; \
      GTEST_SKIP() << "the test corpus ../shared/testdata is missing";                      \
    }                                                                                       \
  } while (0)

// Use at the top of a test that needs an external reader (mdb-reader via node, mdbtools, ...).
#define QV_REQUIRE_TOOL(available, what)                                \
  do {                                                                  \
    if (!(available)) {                                                 \
      if (::qv::test::underCi()) FAIL() << what << " is not installed"; \
      GTEST_SKIP() << what << " is not installed";                      \
    }                                                                   \
  } while (0)

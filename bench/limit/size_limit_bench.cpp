// The 2 GB limit for real: runs N INSERT statements (default 1,200,000), each a row with
// a 2,000-character Long Text, through the SQL front end into a new .mdb in batches of
// 1,000 -- the way a conversion runs them -- until the file is full and every further
// statement is refused. Prints the file's size at the limit, the refusal's text, the time
// per accepted and per refused statement (in batches, and one at a time after the run),
// and the time and verdict of the consistency check on the full file.
//
//   bench_size_limit [--statements N] [--database FILE] [--keep]
//
// Needs about 2.2 GB of disk; the file is removed afterwards unless --keep is given.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "db/io/error.h"
#include "db/jet/checker.h"
#include "db/jet/database.h"
#include "db/sql/executor.h"

namespace {

double since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void appendStatement(std::string& out, long i) {
  out += "INSERT INTO `BIG` VALUES (" + std::to_string(i) + ", '";
  out.append(2000, static_cast<char>('a' + i % 26));
  out += "')";
}

}  // namespace

int main(int argc, char** argv) {
  long total = 1200000;
  std::string file;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--statements") && i + 1 < argc) {
      total = std::atol(argv[++i]);
    } else if (!std::strcmp(argv[i], "--database") && i + 1 < argc) {
      file = argv[++i];
    } else if (!std::strcmp(argv[i], "--keep")) {
      keep = true;
    } else {
      std::fprintf(stderr, "usage: %s [--statements N] [--database FILE] [--keep]\n", argv[0]);
      return 2;
    }
  }
  if (file.empty()) file = "/tmp/quorvane-size-limit-" + std::to_string(::getpid()) + ".mdb";
  std::filesystem::remove(file);
  try {
    auto db = qv::jet::createDatabase(file, qv::jet::Format::kJet4);
    qv::sql::Executor exec(*db);
    exec.execute("CREATE TABLE `BIG` ([ID] INT, [NOTE] TEXT)");

    constexpr long kBatch = 1000;
    std::string text;
    std::vector<size_t> ends;
    std::vector<std::string_view> statements;
    long accepted = 0, refused = 0;
    double acceptedSeconds = 0, refusedSeconds = 0;
    std::string firstError;
    uint64_t sizeAtFirstRefusal = 0;
    for (long done = 0; done < total;) {
      const long count = std::min(kBatch, total - done);
      text.clear();
      ends.clear();
      for (long k = 0; k < count; ++k) {
        appendStatement(text, done + k);
        ends.push_back(text.size());
      }
      statements.clear();
      size_t from = 0;
      for (size_t end : ends) {
        statements.push_back(std::string_view(text).substr(from, end - from));
        from = end;
      }
      long failed = 0;
      const auto start = std::chrono::steady_clock::now();
      exec.executeBatch(statements, [&](size_t, const qv::DbError& e) {
        if (firstError.empty()) {
          firstError = e.what();
          sizeAtFirstRefusal = std::filesystem::file_size(file);
        }
        ++failed;
        return true;
      });
      const double seconds = since(start);
      // A batch is all accepted or all refused, but for the one the limit falls in.
      if (failed == 0) {
        accepted += count;
        acceptedSeconds += seconds;
      } else if (failed == count) {
        refused += count;
        refusedSeconds += seconds;
      } else {
        accepted += count - failed;
        refused += failed;
      }
      done += count;
    }
    // Refused one at a time, as a program executing single statements sees it.
    constexpr long kSingles = 2000;
    double singleSeconds = 0;
    long singleRefused = 0;
    for (long k = 0; k < kSingles && !firstError.empty(); ++k) {
      text.clear();
      appendStatement(text, total + k);
      const auto start = std::chrono::steady_clock::now();
      try {
        exec.execute(text);
      } catch (const qv::DbError&) {
        ++singleRefused;
      }
      singleSeconds += since(start);
    }
    db->close();
    const uint64_t size = std::filesystem::file_size(file);
    std::printf("%ld INSERT statements of a row with a 2,000-character Long Text, in batches of %ld\n", total, kBatch);
    std::printf("  accepted: %ld (%.1f us each)\n", accepted,
                accepted ? acceptedSeconds * 1e6 / static_cast<double>(accepted) : 0.0);
    std::printf("  refused:  %ld (%.1f us each in whole batches)\n", refused,
                refused ? refusedSeconds * 1e6 / static_cast<double>(refused) : 0.0);
    std::printf("  refused one at a time: %ld of %ld (%.1f us each)\n", singleRefused,
                firstError.empty() ? 0 : kSingles,
                singleRefused ? singleSeconds * 1e6 / static_cast<double>(singleRefused) : 0.0);
    std::printf("  file size at the first refusal: %llu bytes; at the end: %llu bytes (limit %llu)\n",
                static_cast<unsigned long long>(sizeAtFirstRefusal), static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(uint64_t{1} << 31));
    std::printf("  the refusal: %s\n", firstError.empty() ? "(none)" : firstError.c_str());
    const auto checkStart = std::chrono::steady_clock::now();
    std::vector<std::string> problems = qv::jet::checkDatabase(file);
    std::printf("  check: %s (%.1f s)\n", problems.empty() ? "no problems found" : problems.front().c_str(),
                since(checkStart));
    auto reopened = qv::jet::openDatabase(file, {});
    std::printf("  rows in the table: %lld\n", static_cast<long long>(reopened->table("BIG")->rowCount()));
    reopened->close();
  } catch (const qv::DbError& e) {
    std::fprintf(stderr, "bench_size_limit: %s\n", e.what());
    if (!keep) std::filesystem::remove(file);
    return 1;
  }
  if (!keep) std::filesystem::remove(file);
  else std::printf("  kept: %s\n", file.c_str());
  return 0;
}

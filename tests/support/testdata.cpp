#include "support/testdata.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace qv::test {

std::string testdataDir() {
  if (const char* env = std::getenv("QV_TESTDATA_DIR"); env && *env && fs::is_directory(env)) return env;
  fs::path p(QV_TESTDATA_DIR);
  std::error_code ec;
  if (fs::is_directory(p, ec)) return fs::weakly_canonical(p, ec).string();
  return {};
}

std::string sourceDir() { return QV_SOURCE_DIR; }

bool underCi() {
  const char* ci = std::getenv("CI");
  return ci && *ci && std::string(ci) != "0" && std::string(ci) != "false";
}

std::vector<std::string> corpusFiles(const std::string& dir, const std::vector<std::string>& extensions) {
  std::vector<std::string> out;
  std::string root = testdataDir();
  if (root.empty()) return out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(fs::path(root) / dir, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (ec || !it->is_regular_file()) continue;
    std::string name = it->path().filename().string();
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& ext : extensions) {
      if (lower.size() >= ext.size() && lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0) {
        out.push_back(it->path().string());
        break;
      }
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string nodeToolsDir() {
  fs::path p = fs::path(QV_SOURCE_DIR) / "tests" / "js";
  if (fs::is_directory(p / "node_modules" / "mdb-reader")) return p.string();
  return {};
}

int runCommand(const std::string& command, std::string* out) {
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 65536> buf{};
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) {
    if (out) out->append(buf.data(), n);
  }
  int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace qv::test

#include "ui/ui_test_env.h"

namespace qv::test {
namespace {

QApplication* g_app = nullptr;

// Ends the application after the last test, while Qt's own objects still exist.
class ApplicationEnvironment final : public ::testing::Environment {
 public:
  void TearDown() override {
    delete g_app;
    g_app = nullptr;
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QApplication& testApplication() {
  SandboxHome::instance();  // before anything asks for a path
  static int argc = 1;
  static char name[] = "quorvane-test";
  static char* argv[] = {name, nullptr};
  if (!g_app) g_app = new QApplication(argc, argv);
  return *g_app;
}

}  // namespace qv::test

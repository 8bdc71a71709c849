#include "ui/preview/preview_test_env.h"

#include "support/memory_driver.h"
#include "shell/url_opener.h"
#include "ui/preview/form2.h"
#include "ui/preview/modal_display.h"
#include "ui/ui_test_env.h"

namespace qv::test {

QApplication& previewTestApplication() { return testApplication(); }

ModalScript::ModalScript() {
  ui::setModalRunner([this](QDialog& window) {
    ++shown_;
    if (actions_.empty()) {
      window.close();
      return;
    }
    auto action = std::move(actions_.front());
    actions_.pop_front();
    action(window);
  });
}

ModalScript::~ModalScript() { ui::setModalRunner({}); }

void PreviewTest::SetUp() {
  previewTestApplication();
  ado::resetMemoryStores();
  ui::Form2::ErrorLine = 0;
  shell::setUrlOpener([this](const QString& address) {
    opened << address;
    return true;
  });
  ado::installMemoryDriver();
  access = ado::Connection::Create();
  access->Open(QStringLiteral("Provider=Memory;Data Source=access"));
  ui::PreviewEnvironment env;
  env.flags = &flags;
  env.accessConnection = [this] { return access.get(); };
  env.programFolder = QStringLiteral("/nonexistent-program-folder");
  windows = std::make_unique<ui::PreviewWindows>(env);
}

void PreviewTest::TearDown() {
  windows.reset();
  access.reset();  // before its store goes
  shell::setUrlOpener({});
  ado::resetMemoryStores();
}

QStringList PreviewTest::executed() const {
  QStringList out;
  for (const auto& s : ado::memoryStore(QStringLiteral("access")).executed) out << s;
  return out;
}

void PreviewTest::failStatementsContaining(const QString& text, const QString& description) {
  ado::memoryStore(QStringLiteral("access")).failWhen = [text,
                                                         description](const QString& s) -> std::optional<QString> {
    if (s.contains(text)) return description;
    return std::nullopt;
  };
}

}  // namespace qv::test

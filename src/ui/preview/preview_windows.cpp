#include "ui/preview/preview_windows.h"

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "ui/preview/form2.h"
#include "ui/preview/form5.h"
#include "ui/preview/modal_display.h"
#include "ui/preview/report_list_model.h"

namespace qv::ui {

namespace {
[[noreturn]] void objectNotSet() {
  throw ado::Error(91, QStringLiteral("Object variable or With block variable not set"));
}
}  // namespace

PreviewWindows::PreviewWindows(PreviewEnvironment environment) : env_(std::move(environment)) {}

PreviewWindows::~PreviewWindows() {
  delete form5_.data();
  delete form2_.data();
}

engine::PreviewFlags& PreviewWindows::flags() const {
  if (!env_.flags) objectNotSet();
  return *env_.flags;
}

ado::Connection& PreviewWindows::accessConnection() const {
  ado::Connection* c = env_.accessConnection ? env_.accessConnection() : nullptr;
  if (!c) objectNotSet();
  return *c;
}

Form2& PreviewWindows::form2() {
  if (!form2_) form2_ = new Form2(*this, env_.owner);
  return static_cast<Form2&>(*form2_);
}

Form5& PreviewWindows::form5() {
  if (!form5_) form5_ = new Form5(env_.programFolder, env_.owner);
  return static_cast<Form5&>(*form5_);
}

Form2* PreviewWindows::existingForm2() const { return static_cast<Form2*>(form2_.data()); }
Form5* PreviewWindows::existingForm5() const { return static_cast<Form5*>(form5_.data()); }

void PreviewWindows::clearScript() { form2().script().clear(); }

void PreviewWindows::appendScriptLine(const QString& statement) { form2().script().append(statement); }

void PreviewWindows::appendScriptLine(std::string_view utf8Statement) { form2().script().appendUtf8(utf8Statement); }

void PreviewWindows::clearDatatypeRecord() { form5().record().clear(); }

void PreviewWindows::appendDatatypeRow(const engine::DatatypeRow& row) {
  form5().record().append(row.table, {row.field, row.paradoxType, row.accessType});
}

void PreviewWindows::showPreview() {
  Form2& window = form2();
  showModal(window);
  // Closed: the window goes with its lines, tick marks and error text.
  delete form2_.data();
}

void PreviewWindows::showDatatypeView(QWidget* owner) {
  Form5& window = form5();
  if (owner && window.parentWidget() != owner) window.setParent(owner, window.windowFlags());
  showModal(window);
  delete form5_.data();
}

}  // namespace qv::ui

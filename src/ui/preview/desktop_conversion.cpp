#include "ui/preview/desktop_conversion.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include "shell/event_yield.h"
#include "ui/appearance.h"
#include "ui/main/form1.h"

namespace qv::ui {

namespace {

QStringList itemsOf(const QListWidget& list) {
  QStringList out;
  out.reserve(list.count());
  for (int i = 0; i < list.count(); ++i) out << list.item(i)->text();
  return out;
}

PreviewEnvironment environmentOf(Form1& form) {
  PreviewEnvironment env;
  env.owner = &form;
  env.flags = &form.previewFlags;
  env.accessConnection = [&form] { return form.access_conn.get(); };
  env.programFolder = form.programFolder;
  return env;
}

}  // namespace

DesktopConversion::DesktopConversion(Form1& form, const QLocale& locale)
    : form_(form), windows_(environmentOf(form)), progress_(form.ProgressBar1), run_(*this, locale) {
  form.finishConversion = [this] { run_.finishQueuedRows(); };
}

DesktopConversion::~DesktopConversion() { form_.finishConversion = nullptr; }

void DesktopConversion::start() {
  // A click while a run is yielding reaches the run too, which ignores it; only the
  // outermost click sets and clears the window's flag.
  const bool outermost = !run_.running();
  if (outermost) form_.ConversionRunning = true;
  run_.start();
  if (outermost) form_.ConversionRunning = run_.running();
}

QString DesktopConversion::paradoxFolder() const { return form_.Text1->text(); }
bool DesktopConversion::previewMode() const { return form_.Check1->checkState() == Qt::Checked; }
bool DesktopConversion::perFilePreview() const { return form_.Option1->isChecked(); }
bool DesktopConversion::perTablePreview() const { return form_.Option2->isChecked(); }
QString DesktopConversion::accessConnectionString() const { return form_.GetAccessConnString(); }
void DesktopConversion::copyDB() { form_.CopyDB(false); }
bool DesktopConversion::hasParadoxTables() { return form_.HasParadoxTables(); }

QStringList DesktopConversion::loadParadoxTables() {
  form_.LoadParadoxTables(form_.List1);
  return itemsOf(*form_.List1);
}

QStringList DesktopConversion::loadAccessTables() {
  form_.LoadAccessTables(form_.List2, form_.Text5->text());
  return itemsOf(*form_.List2);
}

engine::ConnectionSlots& DesktopConversion::connections() { return form_.connections; }
engine::PreviewFlags& DesktopConversion::previewFlags() { return form_.previewFlags; }
void DesktopConversion::setBusyPointer(bool busy) { form_.setMousePointer(busy ? kPointerBusy : kPointerDefault); }
void DesktopConversion::setProgressText(const QString& text) { progress_.setText(text); }
void DesktopConversion::setProgressValue(double value) { progress_.setValue(value); }
void DesktopConversion::clearPreviewScript() { windows_.clearScript(); }
void DesktopConversion::appendPreviewLine(const QString& statement) { windows_.appendScriptLine(statement); }
void DesktopConversion::appendPreviewRow(std::string_view statement) { windows_.appendScriptLine(statement); }
void DesktopConversion::clearDatatypeRecord() { windows_.clearDatatypeRecord(); }
void DesktopConversion::appendDatatypeRow(const engine::DatatypeRow& row) { windows_.appendDatatypeRow(row); }
void DesktopConversion::showPreview() { windows_.showPreview(); }
void DesktopConversion::yield() { shell::YieldToUi(); }

void installConversion(Form1& form) {
  auto host = std::make_shared<DesktopConversion>(form);
  form.startConversion = [host](Form1&) { host->start(); };
}

}  // namespace qv::ui

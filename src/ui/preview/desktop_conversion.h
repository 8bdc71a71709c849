#pragma once
// "Start Converting" in the desktop program: the main window as the host of the shared
// conversion run. The run reads the main window's fields, lists the tables into its
// hidden lists, keeps its connections in the window's Paradox_conn and access_conn,
// shows its progress on ProgressBar1 and hands its statements to the preview windows.

#include <QLocale>
#include <memory>

#include "engine/conversion_host.h"
#include "engine/conversion_run.h"
#include "ui/preview/preview_windows.h"
#include "ui/preview/progress_display.h"

namespace qv::ui {

class Form1;

class DesktopConversion final : public engine::ConversionHost {
 public:
  explicit DesktopConversion(Form1& form, const QLocale& locale = QLocale::system());
  ~DesktopConversion() override;

  // The click of "Start Converting" (ignored while a run is under way).
  void start();

  PreviewWindows& windows() { return windows_; }
  engine::ConversionRun& run() { return run_; }
  ProgressDisplay& progress() { return progress_; }

  QString paradoxFolder() const override;
  bool previewMode() const override;
  bool perFilePreview() const override;
  bool perTablePreview() const override;
  QString accessConnectionString() const override;
  void copyDB() override;
  bool hasParadoxTables() override;
  QStringList loadParadoxTables() override;
  QStringList loadAccessTables() override;
  engine::ConnectionSlots& connections() override;
  engine::PreviewFlags& previewFlags() override;
  void setBusyPointer(bool busy) override;
  void setProgressText(const QString& text) override;
  void setProgressValue(double value) override;
  void clearPreviewScript() override;
  void appendPreviewLine(const QString& statement) override;
  void appendPreviewRow(std::string_view statement) override;
  void executedRow(std::string_view) override {}
  void clearDatatypeRecord() override;
  void appendDatatypeRow(const engine::DatatypeRow& row) override;
  void showPreview() override;
  void yield() override;

 private:
  Form1& form_;
  PreviewWindows windows_;
  ProgressDisplay progress_;
  engine::ConversionRun run_;
};

// Makes "Start Converting" of the window run the conversion (the window keeps the host).
void installConversion(Form1& form);

}  // namespace qv::ui

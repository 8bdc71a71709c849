#pragma once
// The windows of the SQL preview workbench and what they share with the main window.
// The preview window (Form2) holds the preview script and the datatype conversion window
// (Form5) holds the datatype conversion record. Each is created, hidden, on its first
// reference (its loading steps run then), filled by the conversion run, shown modally,
// and destroyed with its contents when it closes; the next reference creates it anew.

#include <QPointer>
#include <string_view>
#include <QString>
#include <functional>

#include "engine/column_mapping.h"
#include "engine/conversion_host.h"

class QDialog;
class QWidget;

namespace qv::ado {
class Connection;
}

namespace qv::ui {

class Form2;
class Form5;

struct PreviewEnvironment {
  QWidget* owner = nullptr;                            // the main window
  engine::PreviewFlags* flags = nullptr;               // SQLFormOK and StopAfterTable
  std::function<ado::Connection*()> accessConnection;  // access_conn of the main window
  QString programFolder;                               // where HAND-M.CUR may lie
};

class PreviewWindows {
 public:
  explicit PreviewWindows(PreviewEnvironment environment);
  ~PreviewWindows();
  PreviewWindows(const PreviewWindows&) = delete;
  PreviewWindows& operator=(const PreviewWindows&) = delete;

  const PreviewEnvironment& environment() const { return env_; }
  engine::PreviewFlags& flags() const;
  // The Access connection Execute SQL runs on; fails (91) when there is none.
  ado::Connection& accessConnection() const;

  // The windows, created hidden on first reference.
  Form2& form2();
  Form5& form5();
  // The windows if they exist now (null otherwise).
  Form2* existingForm2() const;
  Form5* existingForm5() const;

  // The conversion run's side: the preview script and the datatype conversion record.
  void clearScript();
  void appendScriptLine(const QString& statement);
  void appendScriptLine(std::string_view utf8Statement);
  void clearDatatypeRecord();
  void appendDatatypeRow(const engine::DatatypeRow& row);

  // Shows Form2 modally over the main window; returns when it has closed (and has been
  // destroyed with its contents).
  void showPreview();
  // Shows Form5 modally over the given window; destroyed with its rows when it closes.
  void showDatatypeView(QWidget* owner);

 private:
  PreviewEnvironment env_;
  // Either window may also go with its owner (the main window closing).
  QPointer<QDialog> form2_;
  QPointer<QDialog> form5_;
};

}  // namespace qv::ui

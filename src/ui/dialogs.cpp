#include "ui/dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <utility>

namespace qv::ui {
namespace {

OpenFileDialog& openFileDialog() {
  static OpenFileDialog dialog;
  return dialog;
}

FolderPicker& folderPicker() {
  static FolderPicker picker;
  return picker;
}

}  // namespace

void setOpenFileDialog(OpenFileDialog dialog) { openFileDialog() = std::move(dialog); }
void setFolderPicker(FolderPicker picker) { folderPicker() = std::move(picker); }

QStringList qtFilters(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts.at(i + 1).split(u';', Qt::SkipEmptyParts)) {
      for (const QString& variant : {pattern, pattern.toLower(), pattern.toUpper()}) {
        if (!patterns.contains(variant)) patterns.push_back(variant);
      }
    }
    filters.push_back(parts.at(i) + QStringLiteral(" (") + patterns.join(u' ') + u')');
  }
  return filters;
}

QString ShowOpenFileDialog(QWidget* owner, const OpenFileRequest& request) {
  if (openFileDialog()) return openFileDialog()(owner, request);
  const QStringList filters = qtFilters(request.filter);
  return QFileDialog::getOpenFileName(owner, request.title, request.fileName, filters.join(QStringLiteral(";;")));
}

QString BrowseForFolder(QWidget* owner, const QString& prompt, const QString& startFolder) {
  if (folderPicker()) return folderPicker()(owner, prompt, startFolder);
  const QString start = (!startFolder.isEmpty() && QDir(startFolder).exists()) ? startFolder : QString();
  return QFileDialog::getExistingDirectory(owner, prompt, start, QFileDialog::ShowDirsOnly);
}

}  // namespace qv::ui

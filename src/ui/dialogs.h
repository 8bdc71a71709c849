#pragma once
// The two dialogs of the main window's commands: the file-open dialog and the folder
// picker. Each goes through a replaceable function, so tests answer them without a
// real dialog; by default they are QFileDialog's.

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace qv::ui {

// What a file-open request carries (the fields the commands set on the dialog).
struct OpenFileRequest {
  QString fileName;
  int flags = 0;  // kept for the record; QFileDialog has no read-only box
  QString title;
  QString filter;  // "Description|pattern|Description|pattern|"
};

using OpenFileDialog = std::function<QString(QWidget* owner, const OpenFileRequest& request)>;
using FolderPicker = std::function<QString(QWidget* owner, const QString& prompt, const QString& startFolder)>;

// Installs a replacement (an empty function restores QFileDialog).
void setOpenFileDialog(OpenFileDialog dialog);
void setFolderPicker(FolderPicker picker);

// Shows the file-open dialog; the chosen file, or an empty text when cancelled.
QString ShowOpenFileDialog(QWidget* owner, const OpenFileRequest& request);

// Lets the user pick a folder: modal to owner, the prompt as its caption, opened on the
// start folder when it exists. The chosen folder, or an empty text when cancelled.
QString BrowseForFolder(QWidget* owner, const QString& prompt, const QString& startFolder);

// "Desc|pat|Desc|pat|" as QFileDialog's filters: "Desc (pat)". Each pattern is given in
// lower and upper case too, since names here are compared with their case.
QStringList qtFilters(const QString& filter);

}  // namespace qv::ui

#include "ui/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTreeWidget>

#include "shell/checked_rows_text.h"

namespace qv::ui {
namespace {

constexpr int kAttempts = 1000;

// Runs change until the clipboard shows the wanted text, at most kAttempts times.
template <typename Change>
void withRetries(const QString& wanted, Change change) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    try {
      QClipboard* clipboard = QGuiApplication::clipboard();
      if (!clipboard) return;
      change(*clipboard);
      if (clipboard->text() == wanted) return;
    } catch (...) {
      // Held by another program: try again.
    }
  }
}

}  // namespace

void ClearClipboard() {
  withRetries(QString(), [](QClipboard& clipboard) { clipboard.clear(); });
}

void SetClipboardText(const QString& text) {
  withRetries(text, [&text](QClipboard& clipboard) { clipboard.setText(text); });
}

void CopyCheckedRowsToClipboard(const QTreeWidget& view) {
  if (view.topLevelItemCount() == 0) return;
  shell::CheckedRowsSource source;
  source.rowCount = view.topLevelItemCount();
  source.columnCount = view.columnCount();
  source.isChecked = [&view](int r) { return view.topLevelItem(r)->checkState(0) == Qt::Checked; };
  source.text = [&view](int r, int c) { return view.topLevelItem(r)->text(c); };
  const QString text = shell::CheckedRowsText(source);
  ClearClipboard();
  SetClipboardText(text);
}

}  // namespace qv::ui

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
  const int rowCount = view.topLevelItemCount();
  if (rowCount == 0) return;
  std::vector<shell::ListRow> rows;
  rows.reserve(static_cast<size_t>(rowCount));
  const int columns = view.columnCount();
  for (int i = 0; i < rowCount; ++i) {
    const QTreeWidgetItem* item = view.topLevelItem(i);
    shell::ListRow row;
    row.checked = item->checkState(0) == Qt::Checked;
    for (int c = 0; c < columns; ++c) row.cells.push_back(item->text(c));
    rows.push_back(std::move(row));
  }
  const QString text = shell::CheckedRowsText(rows, columns);
  ClearClipboard();
  SetClipboardText(text);
}

}  // namespace qv::ui

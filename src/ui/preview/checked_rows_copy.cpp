#include "ui/preview/checked_rows_copy.h"

#include "shell/checked_rows_text.h"
#include "ui/clipboard.h"
#include "ui/preview/report_list_model.h"

namespace qv::ui {

QString checkedRowsText(const ReportListModel& view) {
  shell::CheckedRowsSource source;
  source.rowCount = view.count();
  source.columnCount = view.columnCount();
  source.isChecked = [&view](int r) { return view.isChecked(r); };
  source.text = [&view](int r, int c) { return view.text(r, c); };
  return shell::CheckedRowsText(source);
}

void CopyCheckedRowsToClipboard(const ReportListModel& view) {
  if (view.count() == 0) return;
  const QString text = checkedRowsText(view);
  ClearClipboard();
  SetClipboardText(text);
}

}  // namespace qv::ui

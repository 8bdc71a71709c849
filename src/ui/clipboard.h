#pragma once
// The clipboard operations of the windows. Both give up silently after 1000 attempts
// when another program holds the clipboard; neither reports anything.

#include <QString>

class QTreeWidget;

namespace qv::ui {

void ClearClipboard();
void SetClipboardText(const QString& text);

// Copies the checked rows of a list view (a QTreeWidget with check boxes in its first
// column) as aligned text (see shell/checked_rows_text.h). Does nothing for an empty view.
void CopyCheckedRowsToClipboard(const QTreeWidget& view);

}  // namespace qv::ui

#pragma once
// Copying the ticked rows of a report list to the clipboard as aligned text: each cell
// padded with blanks to the widest text of its column over all rows (ticked or not),
// cells separated by a tab, the row's trailing blanks removed, each row ending in CR LF.
// The user interface keeps processing events while a long list is measured and copied.

#include <QString>

namespace qv::ui {

class ReportListModel;

// The text that would be copied (empty when no row is ticked).
QString checkedRowsText(const ReportListModel& view);

// Does nothing when the list has no rows; otherwise empties the clipboard and puts the
// text of the ticked rows on it (an empty text when none is ticked).
void CopyCheckedRowsToClipboard(const ReportListModel& view);

}  // namespace qv::ui

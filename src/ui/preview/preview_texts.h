#pragma once
// The texts of the SQL preview workbench that need no window: the SQL-error test of
// Execute SQL, its progress text, the e-mail link of the error message, the clipboard
// messages and find-and-replace's rule for one line.

#include <QString>

namespace qv::ui {

// A failure whose description holds "SQLException", "SQL error" or "unsuccessful
// metadata" (any case) is a statement the database rejected: Execute SQL shows it on its
// line instead of reporting an Application Error.
bool isSqlError(const QString& description);

// True when the text is empty or holds only blanks (U+0020): what the blank tests of
// Execute SQL, Copy Error Message and Email Error Message pass over. Tabs and line
// breaks are not blanks.
bool isBlankText(const QString& text);

// "Please wait.. Processing row: 7 of 120"
QString executeProgressText(int row, int lineCount);

// The link of "Email Error Message": mailto:<support>?subject=Quorvane&body=Here is the
// error message that I get: LF <error text>, nothing percent-encoded.
QString errorMailLink(const QString& errorText);

// The messages after a copy to the clipboard.
QString sqlCopiedMessage();
QString errorCopiedMessage();

// Find and replace on one line: the first occurrence of find (searched without regard to
// case) is replaced by replacement; an empty find changes nothing. Sets *changed.
QString replaceFirstOccurrence(const QString& line, const QString& find, const QString& replacement, bool* changed);

}  // namespace qv::ui

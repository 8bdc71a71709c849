#include "app/cli/script_reader.h"

namespace qv::cli {

bool ScriptReader::next(std::string* statement, long* firstLine) {
  statement->clear();
  std::string text;
  char open = 0;  // the closing character of the quote we are in, or 0
  bool any = false;
  while (std::getline(in_, text)) {
    ++line_;
    if (!any) *firstLine = line_;
    any = true;
    for (char c : text) {
      if (open != 0) {
        if (c == open) open = 0;  // a doubled quote closes and reopens: the same state
      } else if (c == '\'' || c == '"' || c == '`') {
        open = c;
      } else if (c == '[') {
        open = ']';
      }
    }
    if (open == 0 && !text.empty() && text.back() == '\r') text.pop_back();
    *statement += text;
    if (open == 0) return true;
    *statement += '\n';
  }
  // The input ended inside a quote: hand over what there is; the statement reports it.
  if (any && !statement->empty() && statement->back() == '\n') statement->pop_back();
  return any;
}

}  // namespace qv::cli

#include "ui/preview/edited_text.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>

namespace qv::ui {

namespace {

// How many characters of the text as given the character at start stands for.
qsizetype unitLength(const QString& original, qsizetype start) {
  return original[start] == u'\r' && start + 1 < original.size() && original[start + 1] == u'\n' ? 2 : 1;
}

}  // namespace

std::vector<qsizetype> lineUp(const QString& original, const QString& shown) {
  std::vector<qsizetype> starts;
  starts.reserve(static_cast<size_t>(shown.size()));
  qsizetype at = 0;
  for (qsizetype j = 0; j < shown.size(); ++j) {
    if (at >= original.size()) return {};
    starts.push_back(at);
    at += shown[j] == u'\n' ? unitLength(original, at) : 1;
  }
  if (at != original.size()) return {};
  return starts;
}

EditedText::~EditedText() { QObject::disconnect(changes_); }

void EditedText::show(QPlainTextEdit& box, const QString& text) {
  QObject::disconnect(changes_);
  box.setPlainText(text);
  original_ = text;
  starts_ = lineUp(text, box.toPlainText());
  kept_ = !starts_.empty() || text.isEmpty();
  changes_ = QObject::connect(box.document(), &QTextDocument::contentsChange, &box,
                              [this](int position, int removed, int added) { follow(position, removed, added); });
}

void EditedText::follow(int position, int removed, int added) {
  if (!kept_) return;
  const qsizetype size = static_cast<qsizetype>(starts_.size());
  // The document counts one more position than its text (the end of its last block);
  // a change that reaches it reports that position as removed and added.
  const qsizetype from = std::clamp<qsizetype>(position, 0, size);
  const qsizetype gone = std::clamp<qsizetype>(removed, 0, size - from);
  const qsizetype extra = removed - gone;
  const qsizetype come = std::max<qsizetype>(0, added - extra);
  starts_.erase(starts_.begin() + from, starts_.begin() + from + gone);
  starts_.insert(starts_.begin() + from, static_cast<size_t>(come), qsizetype{-1});
}

QString EditedText::text(const QPlainTextEdit& box) const {
  QString now = box.toPlainText();
  if (!kept_ || static_cast<qsizetype>(starts_.size()) != now.size()) return now;
  QString out;
  out.reserve(original_.size() + now.size() / 8);
  for (qsizetype j = 0; j < now.size(); ++j) {
    const qsizetype start = starts_[static_cast<size_t>(j)];
    if (start < 0) {
      out += now[j];
    } else {
      out += QStringView(original_).mid(start, now[j] == u'\n' ? unitLength(original_, start) : 1);
    }
  }
  return out;
}

}  // namespace qv::ui

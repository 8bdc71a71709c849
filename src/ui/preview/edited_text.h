#pragma once
// A text put into a multi-line text box, kept as it was given. The box shows a text in
// its own way and gives it back so: it reads "\r\n", "\r", U+2028 and U+2029 as line
// breaks and gives each back as "\n", and gives U+00A0 back as a blank. The statements of
// the preview script carry such characters inside their texts (a memo's CR LF), so the
// box's changes are followed one by one, and what the box gives back becomes the text as
// given with exactly the characters the user changed.

#include <QMetaObject>
#include <QString>
#include <vector>

class QPlainTextEdit;

namespace qv::ui {

// Where each character of the box's showing of a text starts in the text as given: one
// character for one, except that a line break shown for "\r\n" stands for both. Empty
// when the showing does not line up with the text.
std::vector<qsizetype> lineUp(const QString& original, const QString& shown);

class EditedText {
 public:
  EditedText() = default;
  ~EditedText();
  EditedText(const EditedText&) = delete;
  EditedText& operator=(const EditedText&) = delete;

  // Puts the text into the box and keeps it.
  void show(QPlainTextEdit& box, const QString& text);
  // The box's text: the characters the box still shows from the kept text as they were
  // given, the others (typed, pasted, or put there by the program) as the box has them.
  QString text(const QPlainTextEdit& box) const;

 private:
  void follow(int position, int removed, int added);

  QString original_;
  // Per character of the box: its start in original_, or -1 for a character put there
  // later. Empty: nothing kept, or the changes could not be followed.
  std::vector<qsizetype> starts_;
  bool kept_ = false;
  QMetaObject::Connection changes_;
};

}  // namespace qv::ui

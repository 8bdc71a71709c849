#include "ui/message_box_sink.h"

#include <QApplication>
#include <QMessageBox>

namespace qv::ui {

QString displayText(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(u'\r', u'\n');
  return shown;
}

shell::MsgAnswer MessageBoxSink::show(const shell::Message& message) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (message.icon) {
    case shell::MsgIcon::None: icon = QMessageBox::NoIcon; break;
    case shell::MsgIcon::Information: icon = QMessageBox::Information; break;
    case shell::MsgIcon::Question: icon = QMessageBox::Question; break;
    case shell::MsgIcon::Warning: icon = QMessageBox::Warning; break;
    case shell::MsgIcon::Critical: icon = QMessageBox::Critical; break;
  }
  const bool question = message.buttons == shell::MsgButtons::YesNo;
  QMessageBox box(icon, message.title, displayText(message.text),
                  question ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  const int answer = box.exec();
  if (!question) return shell::MsgAnswer::Ok;
  return answer == QMessageBox::Yes ? shell::MsgAnswer::Yes : shell::MsgAnswer::No;
}

}  // namespace qv::ui

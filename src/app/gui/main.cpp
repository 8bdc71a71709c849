// The desktop program: no arguments, no environment. It loads the main window, which
// ends the program before showing itself when the data-access layer is unusable.

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

#include "shell/messages.h"
#include "shell/url_opener.h"
#include "ui/app_icon.h"
#include "ui/main/form1.h"
#include "ui/message_box_sink.h"
#include "ui/preview/desktop_conversion.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setWindowIcon(qv::ui::applicationIcon());

  qv::ui::MessageBoxSink boxes;
  qv::shell::setMessages(&boxes);
  qv::shell::setUrlOpener([](const QString& address) { return QDesktopServices::openUrl(QUrl(address)); });

  int status = 1;
  {
    qv::ui::Form1 form;
    qv::ui::installConversion(form);
    if (form.Form_Load()) {
      form.show();
      status = QApplication::exec();
    }
  }
  qv::shell::setMessages(nullptr);
  return status;
}

#pragma once
// What a conversion run asks of its surroundings. The main window is one host, the
// command-line converter another; both run the same ConversionRun, so both make the same
// statements in the same order and handle failures the same way.

#include <QString>
#include <QStringList>
#include <memory>
#include <string_view>

#include "db/ado/connection.h"
#include "engine/column_mapping.h"

namespace qv::engine {

// The two connections the main window owns and the preview executes through.
struct ConnectionSlots {
  std::unique_ptr<ado::Connection> paradox;  // Paradox_conn
  std::unique_ptr<ado::Connection> access;   // access_conn
};

// How the preview was left: SQLFormOK (all statements executed) and StopAfterTable.
struct PreviewFlags {
  bool sqlFormOK = false;
  bool stopAfterTable = false;
};

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;

  // The main window's fields, read at the moment the run needs them.
  virtual QString paradoxFolder() const = 0;  // Text1
  virtual bool previewMode() const = 0;       // Check1 is 1
  virtual bool perFilePreview() const = 0;    // Option1
  virtual bool perTablePreview() const = 0;   // Option2
  // GetAccessConnString of two empty texts: built from the database path and password fields.
  virtual QString accessConnectionString() const = 0;
  // The Paradox connection string for Text1 (a host may add to it, as the command line
  // adds the code page it was given).
  virtual QString paradoxConnectionString() const;

  // CopyDB(False): may offer to copy a folder whose path holds a blank and change Text1.
  virtual void copyDB() = 0;
  // HasParadoxTables / LoadParadoxTables on Text1.
  virtual bool hasParadoxTables() = 0;
  virtual QStringList loadParadoxTables() = 0;
  // LoadAccessTables(List2, Text5): the user tables of the database (its own message
  // when the file does not exist).
  virtual QStringList loadAccessTables() = 0;

  virtual ConnectionSlots& connections() = 0;
  virtual PreviewFlags& previewFlags() = 0;

  virtual void setBusyPointer(bool busy) = 0;
  virtual void setProgressText(const QString& text) = 0;
  virtual void setProgressValue(double value) = 0;

  // The preview script and the datatype conversion record.
  virtual void clearPreviewScript() = 0;
  virtual void appendPreviewLine(const QString& statement) = 0;
  // A row's INSERT statement for the preview script, in UTF-8 (the form the run builds
  // rows in). Hosts that keep the script in UTF-8 take it as it is; by default it goes to
  // appendPreviewLine.
  virtual void appendPreviewRow(std::string_view statement) {
    appendPreviewLine(QString::fromUtf8(statement.data(), static_cast<qsizetype>(statement.size())));
  }
  virtual void clearDatatypeRecord() = 0;
  virtual void appendDatatypeRow(const DatatypeRow& row) = 0;
  // Shows the preview window modally; returns when it has been closed.
  virtual void showPreview() = 0;

  // Lets the user interface process pending events (hosts make this cheap when called often).
  virtual void yield() = 0;

  // A statement the database accepted in direct mode (for counts; nothing to do by default).
  virtual void executed(const QString& statement) { (void)statement; }
  // The same for a row's INSERT statement, in UTF-8; by default told to executed().
  virtual void executedRow(std::string_view statement) {
    executed(QString::fromUtf8(statement.data(), static_cast<qsizetype>(statement.size())));
  }

  // A failed step. The default shows the Application Error report; table and row tell
  // where the run was (row 0 before the first row of a table).
  virtual void reportFailure(const QString& location, int step, const QString& description, const QString& table,
                             long row);
};

}  // namespace qv::engine

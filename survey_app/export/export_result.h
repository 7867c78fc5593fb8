#pragma once
// How an export ended: what the writers give and the export command hands on.

namespace corvane {

enum class ExportResult {
  refused,    // an input was refused with a message; nothing was written
  cancelled,  // the operator kept the existing file
  failed,     // an error was reported; an existing file is as it was, a new XYZ file keeps what was
              // written, a new database is not left
  complete,   // "Export complete"
};

}  // namespace corvane

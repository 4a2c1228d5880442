#pragma once
// `qmr4070 --archive-status`: what the person who looks after the benches needs to know
// of this bench's archiving, read from the file alone, so it works while the program runs.

#include <QString>

class QTextStream;

namespace archive {

bool IsStatusRequest(int argc, char** argv);

// Writes the bench, the source identity, the server without its password, the records
// not yet sent and the last error. Returns the process exit code.
int PrintStatus(QTextStream& out, const QString& databasePath);

}  // namespace archive

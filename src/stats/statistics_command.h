#pragma once
// `qmr4070 --statistics`: the lines of "复制" for a scope, on standard output, without a
// window or the serial port.

#include <QStringList>

class QTextStream;

namespace stats {

// `arguments` are those after the program name. Returns the exit status: 0 with the
// lines printed, 1 when the record database cannot be read, 2 for a bad argument (with
// a message on `err`).
int RunStatisticsCommand(const QStringList& arguments, const QString& databasePath, QTextStream& out, QTextStream& err);

}  // namespace stats

#pragma once
// The serial port the operator picked for port 1 by name (a USB adapter is rarely
// COM1), kept as `[link] port=COM5` in the program's settings file, the file that also
// holds the archive settings. QMR4070_PORT, when set, still names the device instead.

#include <QList>
#include <QString>

namespace wire {

// The settings file: qmr4070/qmr4070.conf in the user's configuration folder
// (%LOCALAPPDATA% on Windows).
QString SettingsFilePath();

// The port kept in the settings file, or empty.
QString ChosenPort();
// Keeps `name` in the settings file. Throws PlatformError when the file cannot take it.
void KeepChosenPort(const QString& name);
// True when QMR4070_PORT names the device of port 1, so a choice would not take.
bool PortNamedByEnvironment();

// One line per serial port the system has: "COM5 — USB-SERIAL CH340" (the name alone
// when the port has no description).
QStringList PortOffers();
// The port's name in an offered (or typed) line.
QString PortNameOfOffer(const QString& line);

}  // namespace wire

#pragma once
// The one-line reports of the Qt programs, "program: text" on standard error,
// and the event boundary that uses them: an error raised inside a handler
// ends that handler only.

#include <QString>

#include <functional>

namespace vorn {

// Writes "program: text" as one line on standard error, for a program that
// names itself (its application may not exist yet).
void reportLine(const QString& program, const QString& text);

// The running program's name as its lines begin: the application's name,
// which Qt takes from the executable unless the program sets it; before the
// application exists, the executable's name.
QString programName();

// "program: text" for something that failed.
void reportError(const QString& text);
// "program: text" for something done (a file saved); standard error too, so
// standard output stays the program's data.
void reportNotice(const QString& text);

// Runs one event handler of a program. An error it raises ends that handler
// only: it is written as the one line "program: handler: what" and false is
// returned.
bool runHandler(const QString& handler, const std::function<void()>& body);

} // namespace vorn

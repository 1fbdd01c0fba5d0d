#pragma once
// The one-line report of both programs and the event boundary that uses it:
// an error raised inside a handler ends that handler only.

#include <QString>

#include <functional>

namespace vorn {

// Writes "program: text" as one line on standard error.
void reportLine(const QString& program, const QString& text);

// Runs one event handler of a program. An error it raises ends that handler
// only: it is written as the one line "program: handler: what", the program
// being the application's name, and false is returned.
bool runHandler(const QString& handler, const std::function<void()>& body);

} // namespace vorn

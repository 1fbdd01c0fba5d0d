// The command-line convention (Usage.h) for the Qt programs: their options
// as QCommandLineOption, whose texts make the help, read by the convention's
// rules.
#pragma once

#include "Usage.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class CommandLine {
public:
    CommandLine(QString program, QString version, const QString& description);

    // Adds an option by its last name; it takes a value when it names one.
    // The help lists the options in the order added.
    void addOption(const QCommandLineOption& option);

    // Reads main's arguments. Returns the exit status when the program ends
    // here: 0 after the help or the version, 2 after a bad command line.
    // strayAdvice says what to use instead of a stray argument.
    std::optional<int> parse(int argc, char** argv, const QString& strayAdvice = {});

    bool isSet(const QCommandLineOption& option) const;
    // The value given to option, or its default when it was not given.
    QString value(const QCommandLineOption& option) const;
    // The options given, by name, in the order given.
    QStringList optionNames() const;

    // Writes "program: text" on standard error; returns 2, the status of a
    // bad command line.
    int fail(const QString& text) const;

    // 2 after a line when option is given without required.
    std::optional<int> requireWith(const QCommandLineOption& option, const QCommandLineOption& required) const;

    // 2 after a line when the file that --screenshot names is of no format
    // the screenshot can be written in.
    std::optional<int> checkScreenshotFile(const QCommandLineOption& screenshot) const;

private:
    QString program_;
    QString version_;
    QCommandLineParser helpLayout_; // lays out the help text; reads no argument
    std::vector<usage::Option> options_;
    std::optional<usage::Arguments> arguments_;
};

// The image format a screenshot file's extension names: "png" for .png,
// "jpeg" for .jpg and .jpeg (in any case); empty for any other.
QByteArray screenshotFormat(const QString& path);

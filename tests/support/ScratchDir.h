// A scratch directory made the working directory for a test's life, with
// datafile.dat in it when content is given.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <string>

class ScratchDir {
public:
    explicit ScratchDir(const std::string& dataFile = {})
    {
        previous_ = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        if (!dataFile.empty())
            writeDataFile(dataFile);
    }
    ~ScratchDir() { QDir::setCurrent(previous_); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    QString path() const { return dir_.path(); }

    // Replaces datafile.dat (or a directory of that name) with content.
    void writeDataFile(const std::string& content) const
    {
        QDir(dir_.path()).rmdir(QStringLiteral("datafile.dat"));
        QFile file(dir_.filePath(QStringLiteral("datafile.dat")));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        file.write(content.data(), static_cast<qint64>(content.size()));
    }

private:
    QTemporaryDir dir_;
    QString previous_;
};

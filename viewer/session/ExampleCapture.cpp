#include "ExampleCapture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace meshscope {

namespace {

constexpr char kCaptureName[] = "wave-capture.txt";

QString existing(const QString& path)
{
    return QFileInfo(path).isFile() ? QDir::cleanPath(path) : QString();
}

} // namespace

QString exampleCapture(const QString& programDir)
{
    const QDir dir(programDir);
    QString installed
        = existing(dir.filePath(QStringLiteral("../share/meshscope/examples/") + QLatin1String(kCaptureName)));
    if (!installed.isEmpty())
        return installed;
    QFile marker(dir.filePath(QLatin1String(kBuildExamplesMarker)));
    if (!marker.open(QIODevice::ReadOnly))
        return {};
    const QString folder = QFile::decodeName(marker.readLine().trimmed());
    return folder.isEmpty() ? QString() : existing(QDir(folder).filePath(QLatin1String(kCaptureName)));
}

} // namespace meshscope

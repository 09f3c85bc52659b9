#include "PageFiles.h"

#include "TestPictures.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QSet>
#include <QUrl>
#include <QFile>
#include <QRegularExpression>

namespace PageFiles {

namespace {

// Where each link of page leads, as a clean path.
QStringList linkTargets(const QString &page)
{
    static const QRegularExpression link(QStringLiteral(R"re((?:href|src|srcset|poster)="([^"# ]+)[^"]*")re"));
    QStringList targets;
    const QString text = QString::fromUtf8(TestPictures::readFile(page));
    for (auto it = link.globalMatch(text); it.hasNext();)
        targets.append(QDir::cleanPath(QFileInfo(page).path() + '/' + QUrl::fromPercentEncoding(it.next().captured(1).toUtf8())));
    return targets;
}

} // namespace

QStringList pagesUnder(const QString &folder)
{
    QStringList pages;
    QDirIterator it(folder, {QStringLiteral("*.htm")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        pages.append(QDir(folder).relativeFilePath(it.next()));
    pages.sort();
    return pages;
}

QStringList brokenLinks(const QString &top, const QString &page)
{
    QStringList broken;
    for (const QString &target : linkTargets(page)) {
        if (!QFileInfo::exists(target) || !target.startsWith(top + '/'))
            broken.append(QDir(top).relativeFilePath(page) + " -> " + target);
    }
    return broken;
}

QStringList unshownAlbumFiles(const QString &top, const QString &album)
{
    QSet<QString> shown;
    for (const QString &page : pagesUnder(top)) {
        for (const QString &target : linkTargets(QDir(top).filePath(page)))
            shown.insert(target);
    }
    QStringList unshown;
    for (const char *folder : {"small", "large", "web", "pages"}) {
        QDirIterator it(QDir(album).filePath(QString::fromLatin1(folder)), QDir::Files | QDir::Hidden);
        while (it.hasNext()) {
            const QString file = QDir::cleanPath(it.next());
            if (!shown.contains(file))
                unshown.append(file);
        }
    }
    return unshown;
}

QMap<QString, QByteArray> pages(const QString &folder)
{
    QMap<QString, QByteArray> result;
    const QStringList names = QDir(folder).entryList({QStringLiteral("index*.htm")}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            result.insert(name, file.readAll());
    }
    return result;
}

QList<PageImage> images(const QByteArray &page)
{
    static const QRegularExpression tag(QStringLiteral(R"re(<img src="([^"]*)" width="(-?\d+)" height="(-?\d+)">)re"));
    QList<PageImage> result;
    auto it = tag.globalMatch(QString::fromLatin1(page));
    while (it.hasNext()) {
        const auto match = it.next();
        result.append({match.captured(1).toLatin1(), match.captured(2).toLongLong(), match.captured(3).toLongLong()});
    }
    return result;
}

bool isComplete(const QByteArray &page)
{
    return page.endsWith("</body>\r\n</html>\r\n");
}

QStringList strayFiles(const QString &folder)
{
    static const QRegularExpression expected(QStringLiteral(R"(^index\d+\.htm$|\.(gif|jpg)$)"),
                                             QRegularExpression::CaseInsensitiveOption);
    QStringList result;
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &name : names) {
        if (!expected.match(name).hasMatch())
            result.append(name);
    }
    return result;
}

bool writePictures(const QString &folder, int count)
{
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("p%1.gif").arg(i, 4, 10, QLatin1Char('0'));
        if (!TestPictures::writeFile(QDir(folder).filePath(name), TestPictures::gif(10 + i % 7, 5 + i % 3)))
            return false;
    }
    return true;
}

QMap<QString, QByteArray> writeOldPages(const QString &folder, int count)
{
    QMap<QString, QByteArray> result;
    for (int page = 1; page <= count; ++page) {
        const QString name = QStringLiteral("index%1.htm").arg(page);
        const QByteArray bytes = "<html>an older page " + QByteArray::number(page) + ", not this run's</html>\r\n";
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size())
            result.insert(name, bytes);
    }
    return result;
}

void Recorder::read(qint64 count, const QString &path)
{
    readCount = count;
    readPaths.append(path);
}

void Recorder::completed(const QList<SkippedFile> &skippedFiles)
{
    skipped = skippedFiles;
    ++completions;
}

void Recorder::failed(const QString &message)
{
    failures.append(message);
}

} // namespace PageFiles

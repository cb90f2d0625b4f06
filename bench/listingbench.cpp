// Times a folder listing through FileOperation::listMatching against
// QDir::entryInfoList with the same filters, name filters and order, on a
// local folder of 10,000 entries, each caller asking every entry returned
// whether it is a folder or a file. Prints the median of each and their
// ratio.
//
//   bench_listing [entries] [rounds]

#include "fileoperation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

double medianMs(int rounds, const std::function<int()>& list, int* count)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        *count = list();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// What a caller does with each entry returned.
int kinds(const QFileInfoList& entries)
{
    int n = 0;
    for (const QFileInfo& entry : entries)
        n += entry.isDir() ? 1 : entry.isFile() ? 2 : 0;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int total = args.size() > 1 ? args.at(1).toInt() : 10000;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 21;
    QTextStream out(stdout);

    QTemporaryDir dir;
    for (int i = 0; i < total; ++i) {
        const QString path = dir.filePath(i % 10 == 0  ? QStringLiteral("文件夹%1").arg(i)
                                          : i % 3 == 0 ? QStringLiteral("IMG_%1.CR2").arg(i)
                                                       : QStringLiteral("IMG_%1.jpg").arg(i));
        if (i % 10 == 0) {
            QDir().mkdir(path);
        } else {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                return 1;
        }
    }

    const QStringList names{QStringLiteral("*.jpg"), QStringLiteral("*.jpeg")};
    const QDir::Filters filters = QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot;
    int viaQDir = 0;
    int viaSeam = 0;
    const double qdirMs = medianMs(
        rounds,
        [&] { return kinds(QDir(dir.path()).entryInfoList(names, filters, QDir::Name | QDir::IgnoreCase)); },
        &viaQDir);
    const double seamMs = medianMs(
        rounds,
        [&] {
            QFileInfoList entries;
            if (!FileOperation::listMatching(dir.path(), names, filters, &entries))
                return -1;
            return kinds(entries);
        },
        &viaSeam);
    out << total << " entries, median of " << rounds << " rounds\n"
        << "QDir::entryInfoList: " << qdirMs << " ms\n"
        << "FileOperation::listMatching: " << seamMs << " ms\n"
        << "ratio: " << seamMs / qdirMs << "\n";
    if (viaQDir != viaSeam) {
        out << "the two listings differ: " << viaQDir << " against " << viaSeam << "\n";
        return 1;
    }
    return 0;
}

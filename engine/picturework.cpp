#include "picturework.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>

#include <future>
#include <utility>

namespace {

// Qt cuts a picture into pieces of 65,536 bytes (a scale's source, into
// pieces of 65,536 pixels) and hands them out only when there are two or
// more: at up to eight bytes a pixel, a picture of fewer pixels than this
// is never handed out.
const qint64 kSmallPixels = 16384;

// The user-interface thread waits with nothing else to do: its pictures
// are taken before the jobs' queued ones.
const int kUserInterfacePriority = 1;

bool isSmall(const QSize& size)
{
    return qint64(size.width()) * size.height() < kSmallPixels;
}

bool onUserInterfaceThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// One picture's work on the global pool. The packaged task holds the state
// it shares with the waiting caller's future; it sets the result and wakes
// the caller through that state, which lives until this runnable is deleted,
// after the wake has returned.
class PictureTask : public QRunnable
{
public:
    explicit PictureTask(std::packaged_task<QImage()> work) : m_work(std::move(work)) {}
    void run() override { m_work(); }

private:
    std::packaged_task<QImage()> m_work;
};

// The work done where Qt does it inline: right here for small pictures or
// on a thread of the global pool (or once that pool is gone, as the process
// ends), else as a task on that pool, waited for.
template <typename Work> QImage workInline(Work work, bool small)
{
    QThreadPool* pool = QThreadPool::globalInstance();
    if (small || !pool || pool->contains(QThread::currentThread()))
        return work();
    std::packaged_task<QImage()> task(std::move(work));
    std::future<QImage> result = task.get_future();
    pool->start(new PictureTask(std::move(task)), onUserInterfaceThread() ? kUserInterfacePriority : 0);
    return result.get();
}

} // namespace

QImage PictureWork::smoothScaled(const QImage& image, const QSize& size, Qt::AspectRatioMode mode)
{
    const bool small = isSmall(image.size()) && isSmall(image.size().scaled(size, mode));
    return workInline([image, size, mode] { return image.scaled(size, mode, Qt::SmoothTransformation); },
                      small);
}

QImage PictureWork::converted(QImage image, QImage::Format format)
{
    // Qt gives the image itself back when it is in the format already.
    const bool small = isSmall(image.size()) || image.format() == format;
    return workInline(
        [image = std::move(image), format]() mutable { return std::move(image).convertToFormat(format); },
        small);
}

QImage PictureWork::readScaled(const QByteArray& data, const QSize& size)
{
    // The size the reader decodes at is known only once it reads: every
    // read goes where Qt reads inline.
    return workInline(
        [data, size] {
            QBuffer buffer;
            buffer.setData(data);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            reader.setAutoTransform(false);
            reader.setScaledSize(size);
            return reader.read();
        },
        false);
}

QPixmap PictureWork::toPixmap(const QImage& image)
{
    if (isSmall(image.size()))
        return QPixmap::fromImage(image);
    return QPixmap::fromImage(converted(image, image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                       : QImage::Format_RGB32));
}

QPixmap PictureWork::toPixmap(const QImage& image, QImage::Format format)
{
    return QPixmap::fromImage(converted(image, format), Qt::NoFormatConversion);
}

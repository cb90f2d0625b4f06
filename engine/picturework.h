#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QSize>

// Every smooth scale, format conversion and scaled read of the client's
// pictures, and every pixmap made from a large image, goes through here.
//
// Qt splits such work on a larger picture over its global thread pool
// whenever the calling thread is not one of that pool's, and waits for the
// pieces on a semaphore kept on the caller's stack; the pool thread that
// releases it last may still be writing to it after the caller has returned
// and reused that stack. So a picture Qt would split is worked on as one
// task on the global pool, where Qt does the work inline, and the caller
// waits on a state the task keeps alive until it has woken the caller,
// never on its own stack. Small pictures (Qt never splits them), and
// callers that are threads of the global pool already, do the work where
// they are. The pictures are Qt's own, pixel for pixel.
//
// No task here waits for another, so the pool cannot deadlock; a task of
// the user-interface thread goes ahead of the jobs' queued ones. Every
// function is reentrant.
namespace PictureWork {

// image.scaled(size, mode, Qt::SmoothTransformation).
QImage smoothScaled(const QImage& image, const QSize& size, Qt::AspectRatioMode mode = Qt::IgnoreAspectRatio);

// image.convertToFormat(format). An image handed over with std::move is
// converted where it lies when Qt can do that.
QImage converted(QImage image, QImage::Format format);

// The encoded image decoded as stored (no orientation applied) through its
// reader at the given size, the reader scaling it; null when it does not
// decode.
QImage readScaled(const QByteArray& data, const QSize& size);

// QPixmap::fromImage(image), for the user-interface thread: a large image
// is first converted to the format the pixmap keeps, so the pixmap has
// nothing left to convert.
QPixmap toPixmap(const QImage& image);

// A pixmap that keeps the given format (QPixmap::fromImage with
// Qt::NoFormatConversion of the image converted to it), for a painter that
// takes that format as it is and would convert any other: Qt's PDF engine
// takes ARGB32, not the premultiplied format toPixmap(image) gives a
// picture with alpha.
QPixmap toPixmap(const QImage& image, QImage::Format format);

} // namespace PictureWork

#pragma once

#include "jobowner.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class BarcodeDownload;
class QRunnable;
class QThreadPool;
class QWidget;

// What the separation controller needs of its window. The window base
// implements it; tests drive the controller with a fake one.
class SeparationHost
{
public:
    // The run's display: the progress box, its bar, the finished-orders
    // line and the status label.
    struct RunDisplay
    {
        bool boxVisible = false;
        bool labelVisible = false;
        bool barVisible = false;
        int value = 0;
        int maximum = 0;
        bool finishedVisible = false;
        QString finishedText;
    };

    virtual ~SeparationHost() = default;

    // Posts a form body on the window's manager; the reply comes back to
    // the window's slot of that name (e.g. "queryProductsCallBack").
    virtual void post(const char* replySlot, const QString& route, const QByteArray& body) = 0;

    // The window's pool of jobs and the handle its jobs report through.
    virtual void startJob(QRunnable* job, int priority) = 0;
    virtual void clearJobs() = 0;
    virtual JobOwnerHandle jobOwner() const = 0;

    // The output-folder field as typed, and the folder chooser
    // "选择分件保存路径" (empty when cancelled).
    virtual QString outputFolderText() const = 0;
    virtual QString chooseFolder() = 0;
    // The checked rows of the store box, and the store ids row for row.
    virtual QList<int> checkedStoreRows() const = 0;
    virtual QStringList storeIds() const = 0;

    // Starts the barcode download of an order into a file, beside the
    // window's requests; nullptr when the window has closed. The download
    // says ended() and goes by itself; deleting it cancels it.
    virtual BarcodeDownload* download(const QString& url, const QString& filePath) = 0;

    // The parent of the window's own boxes (the HTML sheet box).
    virtual QWidget* dialogParent() = 0;

    virtual void setSearching(bool searching) = 0;
    virtual void refreshOrderList() = 0;
    virtual void showRun(const RunDisplay& display) = 0;

    // The report at the end of a run, with the file name its save proposes;
    // finished: every order of the run ended and the report names no folder
    // it could not read and no file it did not write.
    virtual void showReport(const QString& text, const QString& fileName, bool finished) = 0;
    // The run has ended, with its report or without: a question about
    // stopping it that is still open goes.
    virtual void runEnded() {}
    // The pool the sheet thumbnails may spread over (none: one thread).
    virtual QThreadPool* jobPool() { return nullptr; }

    // The window's own production sheet, for the layouts that print it.
    virtual QString localSheetHtml() { return QString(); }
};

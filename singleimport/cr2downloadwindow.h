#pragma once

#include "foldersinuse.h"
#include "jobrunner.h"

#include <QString>
#include <QWidget>

class Ui_CR2DownLoadWindow;

// The progress window of a raw-file download: a busy bar until the job's
// first report, its progress afterwards, and at the end the job's tip in a
// "提示" box, after which the window closes. It takes no input; until the
// job's final report it ignores requests to close, and its destructor waits
// for the job. Its owner shows it, calls startDownLoad and deletes it.
// While the job runs, the source and target folders are registered as in
// use, so no deletion of this process takes them from under it; while one
// of them is being deleted, the download does not start: the window says
// so in a "警告" box and closes. A tip of more than 20 lines shows its first
// 20 and the whole tip in the box's details.
class CR2DownLoadWindow : public QWidget
{
    Q_OBJECT
public:
    explicit CR2DownLoadWindow(QWidget* parent = nullptr);
    ~CR2DownLoadWindow() override;

    // Starts one download job with the records of the ImageTime file;
    // orderKey names the order (its 预约单号) to a deletion it turns away.
    void startDownLoad(QString imageTimePath, QString srcDir, QString dstDir, QString orderKey = QString());
    // The file's text, trimmed; empty for a missing or empty file.
    static QString readImageTime(QString path);
    void setValue(int max, int value);

public slots:
    void onDownloadFinish(bool isSuccess, QString tip);
    void onDownloadProcess(int max, int value);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Closes the window once no box of the client is open.
    void closeWhenNoBoxOpen();

    Ui_CR2DownLoadWindow* ui = nullptr;
    bool m_downloading = false;
    FoldersInUse::Claim m_sourceClaim;
    FoldersInUse::Claim m_targetClaim;
    JobRunner m_jobs{this}; // last: its end waits for the job while the claims still hold
};

#include "cr2downloadwindow.h"

#include "ui_cr2downloadwindow.h"

#include "cr2downloadrunnable.h"
#include "imagetime.h"
#include "prompts.h"

#include <QCloseEvent>

CR2DownLoadWindow::CR2DownLoadWindow(QWidget* parent) : QWidget(parent), ui(new Ui_CR2DownLoadWindow)
{
    ui->setupUi(this);
    setWindowFlags((windowFlags() & ~Qt::WindowCloseButtonHint & ~Qt::WindowContextHelpButtonHint) |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("正在下载照片..."));
    ui->progressBar->setMaximum(0);
    ui->progressBar->setValue(0);
}

CR2DownLoadWindow::~CR2DownLoadWindow()
{
    delete ui;
}

void CR2DownLoadWindow::startDownLoad(QString imageTimePath, QString srcDir, QString dstDir, QString orderKey)
{
    m_sourceClaim = FoldersInUse::Claim(srcDir, orderKey);
    m_targetClaim = FoldersInUse::Claim(dstDir, orderKey);
    if (m_sourceClaim.refused() || m_targetClaim.refused()) {
        m_sourceClaim.release();
        m_targetClaim.release();
        Prompts::notice(QStringLiteral("警告"), FoldersInUse::importRefusedText(orderKey), this);
        closeWhenNoBoxOpen();
        return;
    }
    m_downloading = true;
    m_jobs.start(new CR2DownloadRunnable(m_jobs.owner(), srcDir, dstDir, readImageTime(imageTimePath)));
}

QString CR2DownLoadWindow::readImageTime(QString path)
{
    return ImageTime::readFile(path);
}

void CR2DownLoadWindow::setValue(int max, int value)
{
    ui->progressBar->setMaximum(max);
    ui->progressBar->setValue(value > max ? max : value);
}

void CR2DownLoadWindow::onDownloadProcess(int max, int value)
{
    setValue(max, value);
}

void CR2DownLoadWindow::onDownloadFinish(bool isSuccess, QString tip)
{
    Q_UNUSED(isSuccess)
    m_downloading = false;
    m_sourceClaim.release();
    m_targetClaim.release();
    Prompts::longNotice(QStringLiteral("提示"), tip, this);
    closeWhenNoBoxOpen();
}

void CR2DownLoadWindow::closeWhenNoBoxOpen()
{
    // Another window's box may be open under this one's.
    Prompts::whenNoBoxOpen(this, [this] { close(); });
}

void CR2DownLoadWindow::closeEvent(QCloseEvent* event)
{
    // Closed mid-download, the window would never tell what was kept.
    if (m_downloading) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

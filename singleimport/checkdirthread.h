#pragma once

#include <QString>
#include <QThread>

// Tests whether one folder exists, off the user-interface thread (a share
// that does not answer must not freeze the window), and tells the answer
// through onFinishCheck. Made without a parent; it deletes itself once its
// run has ended.
class CheckDirThread : public QThread
{
    Q_OBJECT
public:
    explicit CheckDirThread(QString path);
    ~CheckDirThread() override;

signals:
    void onFinishCheck(bool exist);

protected:
    void run() override;

private:
    QString dirPath;
};

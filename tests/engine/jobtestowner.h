#pragma once

#include <QObject>
#include <QStringList>
#include <QThread>

// Stands in for a separation window: it has the slots the pooled jobs call
// by name and records each call as "slot" or "slot(argument)".
class JobTestOwner : public QObject
{
    Q_OBJECT

public:
    QStringList calls;
    // A slot ran on a thread other than the owner's.
    bool calledOffThread = false;

    int count(const QString& slot) const
    {
        int n = 0;
        for (const QString& call : calls)
            n += call == slot || call.startsWith(slot + QLatin1Char('('));
        return n;
    }

public slots:
    void fenjian_photoIsFileSlot_1(int num)
    {
        record(QStringLiteral("fenjian_photoIsFileSlot_1(%1)").arg(num));
    }
    void fenjian_finalPhotoSlot_2() { record(QStringLiteral("fenjian_finalPhotoSlot_2")); }
    void fenjian_delPhotoSlot_3() { record(QStringLiteral("fenjian_delPhotoSlot_3")); }
    void fenjian_shejiPhotoSlot_3_2() { record(QStringLiteral("fenjian_shejiPhotoSlot_3_2")); }
    void fenjian_markPhoto_3_1() { record(QStringLiteral("fenjian_markPhoto_3_1")); }
    void fenjian_productPhotoSlot_4(QString fullPicName)
    {
        record(QStringLiteral("fenjian_productPhotoSlot_4(%1)").arg(fullPicName));
    }
    void fenjian_analysisPhotoInfo() { record(QStringLiteral("fenjian_analysisPhotoInfo")); }
    void onFinishSaveThumb() { record(QStringLiteral("onFinishSaveThumb")); }
    void onFinishSeparateImage() { record(QStringLiteral("onFinishSeparateImage")); }

public:
    // Called by name like the slots; not a slot, as in the windows.
    Q_INVOKABLE void copyFailed(QString folder, QString name)
    {
        record(QStringLiteral("copyFailed(%1)").arg(folder + name));
    }
    Q_INVOKABLE void listFailed(QString folder) { record(QStringLiteral("listFailed(%1)").arg(folder)); }

private:
    void record(const QString& call)
    {
        calledOffThread = calledOffThread || QThread::currentThread() != thread();
        calls.append(call);
    }
};

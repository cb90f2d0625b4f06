#include "splitaftersample.h"

#include "ui_splitaftersample.h"

#include <QDebug>

SplitAfterSample::SplitAfterSample(QWidget* parent)
    : SeparationWindowBase(SeparationLayout::postSample(), parent), ui(new Ui_SplitAfterSample)
{
    ui->setupUi(this);
    initWindow();
}

SplitAfterSample::~SplitAfterSample()
{
    delete ui;
}

void SplitAfterSample::closeEvent(QCloseEvent* event)
{
    qDebug() << "要关闭窗口了";
    SeparationWindowBase::closeEvent(event);
}

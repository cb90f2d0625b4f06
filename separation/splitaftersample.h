#pragma once

#include "separationwindowbase.h"

class Ui_SplitAfterSample;

// The post-sample separation window ("样后分件管理"): copies each checked
// order's finished photos with their raw camera files into a dated folder
// and saves the service's production sheet and the express sheet beside
// them. Only its form and its layout row are its own.
class SplitAfterSample : public SeparationWindowBase
{
    Q_OBJECT
public:
    explicit SplitAfterSample(QWidget* parent = nullptr);
    ~SplitAfterSample() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    Ui_SplitAfterSample* ui;
};

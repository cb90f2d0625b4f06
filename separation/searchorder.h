#pragma once

#include "separationwindowbase.h"

class Ui_SearchOrder;

// The design separation window ("分件管理"): finds orders, and separates
// the checked ones into per-product folders with the production sheet, the
// express sheet, the barcode and a report of missing photos and empty
// products. Its form and its one extra stage (the design photos) are its
// own; the rest is the separation base.
class SearchOrder : public SeparationWindowBase
{
    Q_OBJECT
public:
    explicit SearchOrder(QWidget* parent = nullptr);
    ~SearchOrder() override;

public slots:
    void fenjian_shejiPhotoSlot_3_2();

private:
    Ui_SearchOrder* ui;
};

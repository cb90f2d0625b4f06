#include "searchorder.h"

#include "config.h"
#include "ui_searchorder.h"

SearchOrder::SearchOrder(QWidget* parent)
    : SeparationWindowBase(SeparationLayout::design(Config::sjfjxz), parent), ui(new Ui_SearchOrder)
{
    ui->setupUi(this);
    initWindow();
}

SearchOrder::~SearchOrder()
{
    delete ui;
}

void SearchOrder::fenjian_shejiPhotoSlot_3_2()
{
    controller()->fenjian_shejiPhotoSlot_3_2();
}

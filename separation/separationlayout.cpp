#include "separationlayout.h"

SeparationLayout SeparationLayout::design()
{
    SeparationLayout row;
    row.reshowType = QStringLiteral("分件管理");
    row.fill = OrderListFill::separation();
    row.searchBoxButton = Prompts::Ok;
    row.stages = {Stage::Rejected, Stage::Design, Stage::Marked, Stage::Products};
    row.otherLevel = true;
    row.goodsForm = ProductPlan::Form::Design;
    row.goodsIsQu = true;
    row.picInfoForm = SeparationRequests::PicInfoForm::Design;
    row.postSampleDetail = false;
    row.sheetOutput = SheetOutput::ServiceHtml;
    row.completionTest = false;
    return row;
}

SeparationLayout SeparationLayout::postSample()
{
    SeparationLayout row;
    row.reshowType = QStringLiteral("样后分件管理");
    row.fill = OrderListFill::postSample();
    row.searchBoxButton = Prompts::Yes;
    row.stages = {};
    row.otherLevel = false;
    row.goodsForm = ProductPlan::Form::PostSample;
    row.goodsIsQu = false;
    row.picInfoForm = SeparationRequests::PicInfoForm::PostSample;
    row.postSampleDetail = true;
    row.sheetOutput = SheetOutput::ServiceHtml;
    row.sheetVariant = SheetVariant::PostSample;
    row.completionTest = true;
    return row;
}

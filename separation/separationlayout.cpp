#include "separationlayout.h"

SeparationLayout SeparationLayout::design(const QString& sjfjxz)
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
    row.sjfjxz = sjfjxz;
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
    row.pickupTypeZero = true;
    row.stepEndsOrder = true;
    row.sjfjxz = QStringLiteral("1");
    return row;
}

SeparationLayout SeparationLayout::n8(const QString& sjfjxz)
{
    SeparationLayout row;
    // The N8 window is never given this type: the criterion box never
    // re-shows it.
    row.reshowType = QStringLiteral("分件管理");
    row.fill = OrderListFill::n8Separation();
    row.searchBoxButton = Prompts::Yes;
    row.stages = {Stage::Rejected, Stage::Marked, Stage::Products};
    row.otherLevel = true;
    row.goodsForm = ProductPlan::Form::Design;
    row.goodsIsQu = true;
    row.picInfoForm = SeparationRequests::PicInfoForm::Short;
    row.postSampleDetail = false;
    row.sheetOutput = SheetOutput::LocalPdf;
    row.sheetVariant = SheetVariant::N8;
    row.pickupTypeZero = true;
    row.stepEndsOrder = true;
    row.singleDeleteConfirmation = true;
    row.sjfjxz = sjfjxz;
    return row;
}

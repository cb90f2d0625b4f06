#pragma once

#include "orderrecords.h"
#include "productionsheet.h"
#include "productplan.h"
#include "prompts.h"
#include "separationrequests.h"

#include <QList>
#include <QString>

// The rows where the separation windows differ. Everything else of the
// run is the controller's and the same for every window; a window picks its
// row and adds its form.
struct SeparationLayout
{
    // The copy stages after the finished photos, in run order.
    enum class Stage
    {
        Rejected, // "汰片/" when the shop asks for it (not in the Tovaro layout)
        Design,   // "设计缩略图100/" into "设计/"
        Marked,   // "marks/" into Config::fj_bzname
        Products, // one folder per planned product
    };
    // Where the order's production sheet comes from.
    enum class SheetOutput
    {
        ServiceHtml, // the service's "html", saved as "明细制作单.html"
        // The window's own sheet as "明细制作单.pdf"; both sheets are printed
        // once the order's barcode download has ended (the sheet shows it).
        LocalPdf,
    };

    // The window type in which a change of the criterion re-shows the window.
    QString reshowType;
    OrderListFill fill;
    // The one button of the search boxes.
    Prompts::StandardButton searchBoxButton = Prompts::Ok;
    QList<Stage> stages;
    // The "其它/" level (plain layout) with "汰片" and Config::fj_bzname
    // beside the finished photos; without it only Config::fj_cpname is made.
    bool otherLevel = true;
    ProductPlan::Form goodsForm = ProductPlan::Form::Design;
    bool goodsIsQu = true;
    SeparationRequests::PicInfoForm picInfoForm = SeparationRequests::PicInfoForm::Design;
    // The post-sample order-detail form keeps a few values only it reads
    // (QQ, WeChat, the second-sale debt) and resets pickuptype to "0".
    bool postSampleDetail = false;
    SheetOutput sheetOutput = SheetOutput::ServiceHtml;
    // The window's own sheet (getHTMLString).
    SheetVariant sheetVariant = SheetVariant::Design;
    // The sheet stage of an order sets the pick-up type to "0" (the others
    // leave it empty until the order-detail reply).
    bool pickupTypeZero = false;
    // A progress step that meets the bar's maximum once the sheets are
    // saved and every product photo is back ends the order. In the
    // post-sample chain it never gets there (saving the sheet ends the
    // order); only its unreached stages, called directly, could.
    bool stepEndsOrder = false;
    // One phone-code confirmation at a time in front of a deletion.
    bool singleDeleteConfirmation = false;
    // The raw-file flag ("sjfjxz") the window's runs give their
    // finished-photo copies ("1": each photo's raw camera files go beside
    // it), as the window took it when it was built: a later shop switch,
    // even for another tool of the same shop, rewrites Config's value.
    QString sjfjxz;

    bool hasStage(Stage stage) const { return stages.contains(stage); }

    // The design and N8 windows take the shop's flag; the post-sample
    // window always copies the raw files.
    static SeparationLayout design(const QString& sjfjxz);
    static SeparationLayout postSample();
    static SeparationLayout n8(const QString& sjfjxz);
};

#pragma once

// What a batch import brings into an order: the ids of the batch import
// dialog's type buttons. Kept in a header of its own so the import worker and
// the order model need not include the dialog; the dialog exposes it as
// importOrdersPhotoDlg::ImportTypeEnum.
//
// The underlying type is fixed, so any int (a button id, a stored value) is a
// valid value; code that switches on it treats unknown values explicitly.
enum ImportTypeEnum : int
{
    ImportOriginal = 0,       // unedited camera photos ("照片/")
    ImportFinished = 1,       // finished and retouched photos ("成品/")
    ImportDesign = 2,         // design images ("设计/")
    ImportTrialVideo = 3,     // trial-shoot videos ("试拍视频/")
    ImportRetouchedVideo = 4, // retouched videos ("精修视频/")
    ImportN8 = 5,             // one N8 layout folder
};

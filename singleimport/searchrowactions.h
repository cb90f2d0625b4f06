#pragma once

class SearchOrderWindow;

// The one-order tools the stand-alone order search offers in its row menu:
// "导入照片" opens the single-order import for the row's order, and
// "下载原图" (for an order with a folder) downloads its raw files into a
// chosen folder.
namespace SearchRowActions {

// Adds the entries to the search's row menu.
void install(SearchOrderWindow* search);

} // namespace SearchRowActions

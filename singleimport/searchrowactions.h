#pragma once

#include <functional>

class QWidget;
class SearchOrderWindow;

// The one-order tools the stand-alone order search offers in its row menu:
// "导入照片" opens the single-order import for the row's order, and
// "下载原图" (for an order with a folder) downloads its raw files into a
// chosen folder.
namespace SearchRowActions {

// Told of each window an entry opens: it works with the shop values in
// Config and may outlive the search.
using WindowOpened = std::function<void(QWidget* window)>;

// Adds the entries to the search's row menu.
void install(SearchOrderWindow* search, WindowOpened opened = {});

} // namespace SearchRowActions

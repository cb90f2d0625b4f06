#pragma once

class SearchOrderWindow;
struct order;

// The one-order tools the stand-alone order search offers in its row menu:
// "导入照片" opens the single-order import for the row's order, and
// "下载原图" (for an order with a folder) downloads its raw files into a
// chosen folder.
namespace SearchRowActions {

// Config's current-order values from one order of the order list, the way
// a separation run takes up an order.
void takeUpOrder(const order& record);

// Adds the entries to the search's row menu.
void install(SearchOrderWindow* search);

} // namespace SearchRowActions

#pragma once

#include <QWidget>

#include <functional>

class QJsonArray;
class QString;
class SelectTool;

// The windows the launcher opens, one opener per tool id. A tool whose
// window is not part of the build has no opener, and the launcher shows its
// choice disabled. The launcher does its own steps first (the server-folder
// test of the batch import, the raw-file flag of the post-sample
// separation) and then calls the opener once the shop's values are in
// Config. The window an opener returns holds the shop while it exists: the
// launcher refuses a switch to another shop meanwhile.
namespace ToolWindows {

// Builds the tool's window with no parent and shows it; returns the window.
using Opener = std::function<QWidget*(SelectTool* launcher)>;
// Builds and shows the N8 staff and product sync dialog for the reachable
// stores of the shop.
using SyncOpener = std::function<QWidget*(const QJsonArray& stores, const QString& shopId)>;

// Tool ids 0 to 7; an empty opener when the window is not built.
Opener opener(int toolId);
SyncOpener syncOpener();

// Replaces an opener; an empty one disables the choice. Launchers built
// afterwards use it.
void setOpener(int toolId, Opener opener);
void setSyncOpener(SyncOpener opener);
// Back to the openers of the build.
void resetOpeners();

// The common way a tool window is opened: no parent, deleted when closed,
// shown maximised.
template <typename Window> Window* showMaximizedTool()
{
    auto* window = new Window(nullptr);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->showMaximized();
    return window;
}

} // namespace ToolWindows

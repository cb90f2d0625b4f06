#include "appresources.h"

#include <QtGlobal>

// The resources live in a static library, so they are registered by hand
// rather than by a static initialiser the linker may drop.
static void registerDravinResources()
{
    Q_INIT_RESOURCE(dravin);
}

void initAppResources()
{
    static const bool registered = (registerDravinResources(), true);
    Q_UNUSED(registered);
}

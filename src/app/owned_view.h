// A view owned by a scope: added to the tree for the time of a fade, prompt or splash and
// destroyed (detached and deleted) however the scope is left, so that an unwinding request never
// leaves it in the tree.
#pragma once

#include <memory>

#include "dxdraw/view.h"

struct ViewDestroyer {
    void operator()(ssView* view) const { view->Destroy(); }
};

template <class T>
using OwnedView = std::unique_ptr<T, ViewDestroyer>;

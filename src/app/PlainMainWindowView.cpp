#include "app/PlainMainWindowView.h"

#include "base/RuntimeError.h"

namespace posbench {

std::string PlainMainWindowView::PortListItem(long i) const {
    if (i < 0 || i >= PortListCount()) Raise(err::SubscriptOutOfRange);
    return ports[static_cast<std::size_t>(i)];
}

std::string PlainMainWindowView::CommandItem(long i) const {
    if (i < 0 || i >= CommandItemCount()) Raise(err::SubscriptOutOfRange);
    return history[static_cast<std::size_t>(i)];
}

}  // namespace posbench

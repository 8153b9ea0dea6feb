// The list of views the window has drawn, in order, with the place of the
// view that stands: back and forward step through it as a web browser does.
#pragma once

#include "viewstate.h"

#include <cstddef>
#include <deque>
#include <optional>

class ViewHistory {
public:
    static constexpr std::size_t defaultCapacity = 1000;

    explicit ViewHistory(std::size_t capacity = defaultCapacity);

    // Makes view the current entry, after the current one: the views ahead of
    // it are dropped, and beyond the capacity the oldest one. A view equal to
    // the current one adds nothing, so that drawing the same view again keeps
    // the list as it is.
    void visit(const View& view);

    // Steps to the view before (after) the current one and returns it; at
    // either end of the list, nothing changes and nothing is returned.
    std::optional<View> back();
    std::optional<View> forward();

    std::size_t size() const { return m_views.size(); }
    // The position of the current entry; meaningless while the list is empty.
    std::size_t position() const { return m_position; }
    const View& at(std::size_t index) const { return m_views.at(index); }

private:
    std::deque<View> m_views;
    std::size_t m_position = 0;
    std::size_t m_capacity;
};

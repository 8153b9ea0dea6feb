// The list of views the window has drawn, and the steps back and forward.
#include "viewhistory.h"

#include <algorithm>

ViewHistory::ViewHistory(std::size_t capacity) : m_capacity(std::max<std::size_t>(capacity, 1)) {}

void ViewHistory::visit(const View& view)
{
    if (!m_views.empty()) {
        if (m_views[m_position] == view)
            return;
        m_views.erase(m_views.begin() + std::ptrdiff_t(m_position) + 1, m_views.end());
    }
    m_views.push_back(view);
    if (m_views.size() > m_capacity)
        m_views.pop_front();
    m_position = m_views.size() - 1;
}

std::optional<View> ViewHistory::back()
{
    if (m_views.empty() || m_position == 0)
        return std::nullopt;
    return m_views[--m_position];
}

std::optional<View> ViewHistory::forward()
{
    if (m_position + 1 >= m_views.size())
        return std::nullopt;
    return m_views[++m_position];
}

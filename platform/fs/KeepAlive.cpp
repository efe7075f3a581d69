#include "platform/fs/KeepAlive.h"

#include <utility>

namespace platform {

namespace {

thread_local const KeepAlive* t_current = nullptr;

}  // namespace

KeepAlive::KeepAlive(std::function<void()> beat) : m_beat(std::move(beat)), m_outer(t_current)
{
    t_current = this;
}

KeepAlive::~KeepAlive()
{
    t_current = m_outer;
}

void KeepAlive::Beat()
{
    if (t_current && t_current->m_beat)
        t_current->m_beat();
}

}  // namespace platform

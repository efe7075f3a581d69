#include "FakeTrayDesktop.h"

void FakeTrayDesktop::PopupMenu(QMenu& menu, QPoint pos)
{
    m_popups.push_back({&menu, pos});
    if (m_onPopup)
        m_onPopup(menu);
}

void FakeTrayDesktop::SetKeyDown(Key key, bool down)
{
    if (down)
        m_keysDown.insert(key);
    else
        m_keysDown.erase(key);
}

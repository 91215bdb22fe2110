#include "platform/qt/cmd_target.h"

void CCmdTarget::MapCommand(unsigned id, Handler handler, UpdateHandler update) {
    RangeHandler h;
    if (handler) h = [handler = std::move(handler)](unsigned) { handler(); };
    m_map[id] = Entry{id, std::move(h), std::move(update)};
}

void CCmdTarget::MapCommandRange(unsigned first, unsigned last, RangeHandler handler, UpdateHandler update) {
    m_map[first] = Entry{last, std::move(handler), std::move(update)};
}

bool CCmdTarget::OnCmdMsg(unsigned id, CCmdUI* update) {
    auto it = m_map.upper_bound(id);
    if (it == m_map.begin()) return false;
    --it;
    if (id < it->first || id > it->second.last) return false;
    Entry& e = it->second;
    if (update) {
        if (e.update) {
            e.update(update);
            // An update handler that leaves the state alone keeps a command
            // with a handler enabled.
            if (!update->m_bEnableChanged) update->Enable(static_cast<bool>(e.handler));
        } else {
            update->Enable(static_cast<bool>(e.handler));
        }
        return true;
    }
    if (!e.handler) return false;
    e.handler(id);
    return true;
}

#pragma once
// Command routing. Every menu entry, accelerator and toolbar button sends its
// command id; the frame hands the id along the chain of command targets (the
// active view, its document, the child frame, the main frame, the
// application) until one of them has an entry for it. Before a command runs,
// and whenever menus and toolbars are brought up to date, the same chain is
// asked for the command's state; an id no target knows is disabled.

#include <functional>
#include <map>
#include <string>

class CCmdUI {
public:
    explicit CCmdUI(unsigned id) : m_nID(id) {}
    void Enable(bool on = true) {
        m_bEnabled = on;
        m_bEnableChanged = true;
    }
    void SetCheck(int check = 1) { m_nCheck = check; }
    void SetText(const std::wstring& text) {
        m_strText = text;
        m_bTextChanged = true;
    }

    unsigned m_nID;
    bool m_bEnabled = false;
    bool m_bEnableChanged = false;
    int m_nCheck = -1;  // -1: the handler said nothing about the check mark
    std::wstring m_strText;
    bool m_bTextChanged = false;
};

class CCmdTarget {
public:
    CCmdTarget() = default;
    virtual ~CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;

    // With `update` null, runs the command; otherwise asks for its state.
    // True when this target has an entry for `id`.
    virtual bool OnCmdMsg(unsigned id, CCmdUI* update);

protected:
    using Handler = std::function<void()>;
    using RangeHandler = std::function<void(unsigned id)>;
    using UpdateHandler = std::function<void(CCmdUI*)>;

    // One entry of the target's message map. A command with a handler and no
    // update handler is enabled; one with only an update handler runs nothing.
    void MapCommand(unsigned id, Handler handler, UpdateHandler update = {});
    void MapCommandRange(unsigned first, unsigned last, RangeHandler handler, UpdateHandler update = {});
    void MapUpdate(unsigned id, UpdateHandler update) { MapCommand(id, {}, std::move(update)); }

private:
    struct Entry {
        unsigned last = 0;
        RangeHandler handler;
        UpdateHandler update;
    };
    std::map<unsigned, Entry> m_map;  // keyed by the first id of the range
};

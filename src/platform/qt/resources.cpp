#include "platform/qt/resources.h"

#include <map>

namespace {
template <typename T>
std::map<unsigned, T>& Store() {
    static std::map<unsigned, T> store;
    return store;
}
template <typename T>
const T* Find(unsigned id) {
    auto it = Store<T>().find(id);
    return it == Store<T>().end() ? nullptr : &it->second;
}
}  // namespace

namespace kv {

void RegisterMenu(MenuResource menu) { Store<MenuResource>()[menu.id] = std::move(menu); }
void RegisterAccelerators(AccelResource table) { Store<AccelResource>()[table.id] = std::move(table); }
void RegisterToolbar(ToolbarResource toolbar) { Store<ToolbarResource>()[toolbar.id] = std::move(toolbar); }
DialogTemplate MakeDialog(unsigned id, std::wstring caption, int cx, int cy, std::vector<ControlTemplate> controls) {
    DialogTemplate t;
    t.id = id;
    t.caption = std::move(caption);
    t.cx = cx;
    t.cy = cy;
    t.controls = std::move(controls);
    return t;
}

void RegisterDialog(DialogTemplate dialog) { Store<DialogTemplate>()[dialog.id] = std::move(dialog); }

const MenuResource* FindMenu(unsigned id) { return Find<MenuResource>(id); }
const AccelResource* FindAccelerators(unsigned id) { return Find<AccelResource>(id); }
const ToolbarResource* FindToolbar(unsigned id) { return Find<ToolbarResource>(id); }
const DialogTemplate* FindDialog(unsigned id) { return Find<DialogTemplate>(id); }

}  // namespace kv
